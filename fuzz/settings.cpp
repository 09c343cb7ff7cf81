// Settings files read by LoadMenu: the input is the open input file, read
// into a fixed menu holding an item of every type, a submenu with items of
// its own and a submenu chosen by conditions. The tree's values are then
// stored again into a scratch file.
#include <cstdio>
#include <cstring>
#include <string>

#include "FuzzSupport.h"
#include "MenuSupport.h"
#include "TextMenu/TextMenu.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string in = fuzz::Scratch("settings");
    static const std::string out = fuzz::Scratch("stored");
    fuzz::WriteBytes(in, data, size);

    // Choice texts are edited in place by the state selection: fresh copies
    // for every input.
    char subChoices[] = "_No,_Yes, Off";
    char oneChoices[] = "_Local,_Remote, Hidden,_Network";
    char manyChoices[] = "_a,_b, c,_d";
    char altChoices[] = "_x,_y";
    TextMenuItem subItems[] = {fuzz::Item("Pick", MENU_PICKONE),
                               fuzz::Item("Word", MENU_STRING),
                               fuzz::Item("Count", MENU_INT),
                               fuzz::Item("~a Apply", MENU_APPLY),
                               {}};
    subItems[0].pChoices = subChoices;
    subItems[0].Default.i = 1;
    subItems[1].Default.pDefault = "sub";
    subItems[3].ActionFunc = fuzz::CountAction;
    TextMenu sub{"Sub", 0, nullptr, nullptr, nullptr, nullptr, subItems, 0};

    TextMenuItem altItems[] = {fuzz::Item("Alt", MENU_PICKONE), fuzz::Item("Real", MENU_REAL), {}};
    altItems[0].pChoices = altChoices;
    TextMenu alt{"Alt", 0, nullptr, nullptr, nullptr, nullptr, altItems, 0};
    TextMenu* altMenus[] = {&sub, &alt};

    TextMenuItem items[] = {fuzz::Item("Heading", MENU_TEXT),
                            fuzz::Item("Break", MENU_BREAK),
                            fuzz::Item("Numbered", MENU_NUMTEXT),
                            fuzz::Item("Grid", MENU_GRID),
                            fuzz::Item("~a Apply", MENU_APPLY),
                            fuzz::Item("~l Leave", MENU_LEAVE),
                            fuzz::Item("~e Exit", MENU_EXIT),
                            fuzz::Item("Command", MENU_COMMAND),
                            fuzz::Item("Sub", MENU_SUBMENU),
                            fuzz::Item("Pick", MENU_PICKONE),
                            fuzz::Item("Many", MENU_PICKMANY),
                            fuzz::Item("Name", MENU_NAME),
                            fuzz::Item("Text", MENU_STRING),
                            fuzz::Item("Count", MENU_INT),
                            fuzz::Item("Real", MENU_REAL),
                            fuzz::Item("Either", MENU_SUBMENU),
                            {}};
    items[1].Default.i = 2;
    items[3].Default.i = 3;
    items[4].ActionFunc = fuzz::CountAction;
    items[8].Value.pMenu = &sub;
    items[9].pChoices = oneChoices;
    items[9].pFormat = "H2{10} S3.{13.4} P*{9}";
    items[10].pChoices = manyChoices;
    items[11].Default.pDefault = "name";
    items[12].Default.pDefault = "text";
    items[13].Default.i = 7;
    items[14].Default.f = 1.5f;
    items[15].pFormat = "9.0 9.1|9.3";
    items[15].Value.ppMenus = altMenus;
    TextMenu menu{"Main", 0, nullptr, nullptr, nullptr, nullptr, items, MENU_F_STORE};
    InitMenu(&menu);
    InitMenu(&sub);
    InitMenu(&alt);

    if (!OpenInputFile(in.c_str(), 0)) abort();
    LoadMenu(&menu);
    CloseInputFile();

    for (TextMenu* m : {&menu, &sub, &alt})
        for (TextMenuItem* item = m->pItems; item->pLabel; ++item)
            if ((item->Type == MENU_NAME || item->Type == MENU_STRING) &&
                (!item->Value.pText ||
                 strnlen(item->Value.pText, MENU_TEXT_SIZE) >= size_t(MENU_TEXT_SIZE)))
                abort();

    pOut = fopen(out.c_str(), "w");
    if (!pOut) abort();
    StoreMenu(&menu);
    fclose(pOut);
    pOut = nullptr;
    FreeMenu(&menu);
    FreeMenu(&sub);
    FreeMenu(&alt);
    return 0;
}
