// The entity tables of the Latin-1 characters 160 to 255 and the tags the
// layout knows.
#include "html/html.h"

// Entry k (1-based) is the character 159 + k.
constexpr char HTMLKeys[] =
    ",nbsp;,iexcl;,cent;,pound;,curren;,yen;,brvbar;,sect;,"
    "uml;,copy;,ordf;,laquo;,not;,shy;,reg;,macr;,"
    "deg;,plusmn;,sup2;,sup3;,acute;,micro;,para;,middot;,"
    "cedil;,sup1;,ordm;,raquo;,frac14;,frac12;,frac34;,iquest;,"
    "Agrave;,Aacute;,Acirc;,Atilde;,Auml;,Aring;,AElig;,Ccedil;,"
    "Egrave;,Eacute;,Ecirc;,Euml;,Igrave;,Iacute;,Icirc;,Iuml;,"
    "ETH;,Ntilde;,Ograve;,Oacute;,Ocirc;,Otilde;,Ouml;,times;,"
    "Oslash;,Ugrave;,Uacute;,Ucirc;,Uuml;,Yacute;,THORN;,szlig;,"
    "agrave;,aacute;,acirc;,atilde;,auml;,aring;,aelig;,ccedil;,"
    "egrave;,eacute;,ecirc;,euml;,igrave;,iacute;,icirc;,iuml;,"
    "eth;,ntilde;,ograve;,oacute;,ocirc;,otilde;,ouml;,divide;,"
    "oslash;,ugrave;,uacute;,ucirc;,uuml;,yacute;,thorn;,yuml;,";

constexpr int HTMLKeySizes[97] = {
    0,
    5, 6, 5, 6, 7, 4, 7, 5, 4, 5, 5, 6,
    4, 4, 4, 5, 4, 7, 5, 5, 6, 6, 5, 7,
    6, 5, 5, 6, 7, 7, 7, 7, 7, 7, 6, 7,
    5, 6, 6, 7, 7, 7, 6, 5, 7, 7, 6, 5,
    4, 7, 7, 7, 6, 7, 5, 6, 7, 7, 7, 6,
    5, 7, 6, 6, 7, 7, 6, 7, 5, 6, 6, 7,
    7, 7, 6, 5, 7, 7, 6, 5, 4, 7, 7, 7,
    6, 7, 5, 7, 7, 7, 7, 6, 5, 7, 6, 5,
};

constexpr unsigned char HTMLChars[96] = {
    160, 161, 162, 163, 164, 165, 166, 167, 168, 169, 170, 171, 172, 173, 174, 175,
    176, 177, 178, 179, 180, 181, 182, 183, 184, 185, 186, 187, 188, 189, 190, 191,
    192, 193, 194, 195, 196, 197, 198, 199, 200, 201, 202, 203, 204, 205, 206, 207,
    208, 209, 210, 211, 212, 213, 214, 215, 216, 217, 218, 219, 220, 221, 222, 223,
    224, 225, 226, 227, 228, 229, 230, 231, 232, 233, 234, 235, 236, 237, 238, 239,
    240, 241, 242, 243, 244, 245, 246, 247, 248, 249, 250, 251, 252, 253, 254, 255,
};

// The entities beyond Latin-1 that help authors write, and the markup ones.
constexpr HtmlEntity HtmlMoreEntities[HTML_MORE_ENTITIES] = {
    {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"apos", '\''}, {"quot", '"'},
    {"AMP", '&'}, {"LT", '<'}, {"GT", '>'}, {"QUOT", '"'},
    {"hellip", 0x2026}, {"mdash", 0x2014}, {"ndash", 0x2013}, {"minus", 0x2212},
    {"lsquo", 0x2018}, {"rsquo", 0x2019}, {"sbquo", 0x201a}, {"ldquo", 0x201c}, {"rdquo", 0x201d},
    {"bdquo", 0x201e}, {"lsaquo", 0x2039}, {"rsaquo", 0x203a}, {"bull", 0x2022}, {"dagger", 0x2020},
    {"Dagger", 0x2021}, {"permil", 0x2030}, {"prime", 0x2032}, {"Prime", 0x2033}, {"trade", 0x2122},
    {"euro", 0x20ac}, {"larr", 0x2190}, {"uarr", 0x2191}, {"rarr", 0x2192}, {"darr", 0x2193},
    {"harr", 0x2194}, {"lArr", 0x21d0}, {"rArr", 0x21d2}, {"hArr", 0x21d4}, {"le", 0x2264},
    {"ge", 0x2265}, {"ne", 0x2260}, {"asymp", 0x2248}, {"equiv", 0x2261}, {"infin", 0x221e},
    {"sum", 0x2211}, {"prod", 0x220f}, {"radic", 0x221a}, {"ensp", 0x2002}, {"emsp", 0x2003},
    {"thinsp", 0x2009}, {"zwnj", 0x200c}, {"zwj", 0x200d}, {"lrm", 0x200e}, {"rlm", 0x200f},
    {"OElig", 0x152}, {"oelig", 0x153}, {"Scaron", 0x160}, {"scaron", 0x161}, {"Yuml", 0x178},
    {"fnof", 0x192}, {"circ", 0x2c6}, {"tilde", 0x2dc}, {"loz", 0x25ca}, {"spades", 0x2660},
    {"clubs", 0x2663}, {"hearts", 0x2665}, {"diams", 0x2666}, {"oline", 0x203e}, {"frasl", 0x2044},
};

constexpr char HtmlKeys[] =
    ",p,/p,b,/b,font,/font,a,/a,tr,/tr,br,table,fitab,/table,td,/td,"
    "h1,h2,h3,h4,h5,h6,/h1,/h2,/h3,/h4,/h5,/h6,ol,/ol,li,/li,div,/div,img,"
    "ul,/ul,dl,/dl,dt,dd,pre,/pre,th,/th,hr,";
