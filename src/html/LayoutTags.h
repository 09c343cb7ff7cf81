// Inside the layout: the tags it knows, by their position in HtmlKeys, and
// the nesting depth of the tables being measured or laid out.
#pragma once

#include "html/html.h"

enum HtmlKey {
    K_TEXT = -1, K_OTHER = 0,
    K_P, K_EP, K_B, K_EB, K_FONT, K_EFONT, K_A, K_EA, K_TR, K_ETR, K_BR,
    K_TABLE, K_FITAB, K_ETABLE, K_TD, K_ETD,
    K_H1, K_H2, K_H3, K_H4, K_H5, K_H6, K_EH1, K_EH2, K_EH3, K_EH4, K_EH5, K_EH6,
    K_OL, K_EOL, K_LI, K_ELI, K_DIV, K_EDIV, K_IMG,
    K_UL, K_EUL, K_DL, K_EDL, K_DT, K_DD, K_PRE, K_EPRE, K_TH, K_ETH, K_HR,
};

// K_FITAB only for tables the layout measured: a "fitab" written in a
// document is an unknown tag like any other.
HtmlKey HtmlClassify(const HtmlItem* item);
void HtmlSetMeasured(HtmlItem* item, HtmlTable* table);

extern int HtmlTableDepth;

// What the layout writes for a list item, an image, a tab in "pre", shared
// with the measuring of tables so that a cell is as wide as what is written.
constexpr int HTML_MAX_LIST_DEPTH = 8;  // deeper lists are numbered as bullets
constexpr int HTML_ALT_SIZE = 128;      // an image's "[alt]", cut beyond
constexpr int HTML_DD_INDENT = 4;
constexpr int HTML_RULE_COLS = 78;
// The mark of the next item of the innermost of lists open lists (its
// counter counted on): "   1. " or "   * ", indented by 3 per outer list.
int HtmlListMark(char* mark, int size, int lists, const bool* ordered, int* counter);
int HtmlImageAlt(const HtmlItem* item, char* alt, int size);  // "[alt]" or nothing; its length
int HtmlTabBlanks(int column);

// Gives back the image and offset table kept between the pages of a document.
void HtmlReleaseImage();  // tables being measured or laid out, innermost included
