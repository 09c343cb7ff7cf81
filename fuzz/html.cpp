// Help documents: the input is an HTML document, parsed and laid out page
// by page as the viewer's "--dump" and "--links" outputs show it, and every
// offered link followed as the viewer follows it.
#include <cstdio>
#include <cstring>
#include <string>

#include "FuzzSupport.h"
#include "HelpTty/HelpTty.h"
#include "html/html.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FILE* sink = fopen("/dev/null", "w");
    if (!sink) abort();
    std::string content(reinterpret_cast<const char*>(data), size);
    HtmlResetDocuments();
    // Both page charsets; in either no control character from the document
    // reaches a page, and in UTF-8 every page is valid UTF-8.
    HtmlUtf8 = size > 0 && (data[0] & 1);
    HtmlFile* file = ParseHtmlFile("fuzz.html", content.c_str());
    if (!file) return 0;
    for (ListLink* l = file->Pages.pFirst; l; l = l->pNext) {
        auto* page = static_cast<HtmlPage*>(l->pItem);
        if (!page->pText) abort(); // every page is laid out
        int len = int(strlen(page->pText));
        for (auto* p = reinterpret_cast<const unsigned char*>(page->pText); *p;) {
            int code = *p, n = 1;
            if (HtmlUtf8 && *p >= 0x80 && !(n = HtmlDecodeUtf8(p, &code))) abort();
            if ((code < 0x20 && code != '\t' && code != '\n' && code != '\f') || (code >= 0x7f && code < 0xa0)) abort();
            p += n;
        }
        for (ListLink* k = page->Links.pFirst; k; k = k->pNext) {
            HtmlLink* link = *static_cast<HtmlLink**>(k->pItem);
            if (!HtmlLinkOffered(link)) continue;
            if (link->Start < 0 || link->Start > link->End || link->End > len) abort();
        }
    }
    HelpWritePages(sink, file);
    HelpWriteLinks(sink, file);
    // Following the links: anchors and pages of this document (another
    // document's name is not found and changes nothing).
    for (ListLink* l = file->Pages.pFirst; l; l = l->pNext) {
        auto* page = static_cast<HtmlPage*>(l->pItem);
        for (ListLink* k = page->Links.pFirst; k; k = k->pNext) {
            HtmlLink* link = *static_cast<HtmlLink**>(k->pItem);
            if (link->Kind == 2 && link->pTarget && link->pTarget[0] == '#')
                GoToTarget(link->pTarget + 1);
        }
    }
    HtmlResetDocuments();
    return 0;
}
