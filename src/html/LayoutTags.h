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
};

// K_FITAB only for tables the layout measured: a "fitab" written in a
// document is an unknown tag like any other.
HtmlKey HtmlClassify(const HtmlItem* item);
void HtmlSetMeasured(HtmlItem* item, HtmlTable* table);

extern int HtmlTableDepth;

// Gives back the image and offset table kept between the pages of a document.
void HtmlReleaseImage();  // tables being measured or laid out, innermost included
