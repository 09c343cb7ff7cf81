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

constexpr char HtmlKeys[] =
    ",p,/p,b,/b,font,/font,a,/a,tr,/tr,br,table,fitab,/table,td,/td,"
    "h1,h2,h3,h4,h5,h6,/h1,/h2,/h3,/h4,/h5,/h6,ol,/ol,li,/li,div,/div,img,";
