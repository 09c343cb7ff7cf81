// html: the help documents. A document written in the toolkit's small HTML
// subset is loaded, split into pages whose head and body become flat lists
// of items (text runs and tags), and every page is laid out once as plain
// text for an 80-column terminal, with its links as offsets in that text.
// The navigation over loaded documents (pages, anchors, history) lives here
// too; the terminal viewer (HelpTty) puts a menu on top of it.
#pragma once

#include "List/List.h"

constexpr int HTML_MAX_FILES = 100;       // slots of loaded documents
constexpr int HTML_HISTORY_SIZE = 100;    // places kept for Back
constexpr int HTML_IMAGE_COLS = 132;      // characters per row of a page's text image
constexpr int HTML_PIXELS_PER_COL = 7;    // pixel sizes of tables, per character column
constexpr int HTML_TITLE_COLS = 80;       // titles are centred in this many columns
constexpr int HTML_MAX_TABLE_DEPTH = 32;  // tables nested deeper are ignored tags
constexpr int HTML_MAX_TABLE_DIM = 1000;  // rows and columns measured per table
constexpr int HTML_NAME_SIZE = 1024;      // a document name or link target, cut beyond
constexpr int HTML_WIDTH_TEXT = 12;       // a table's width value: at most 11 characters

// One text run (pTag none) or tag.
struct HtmlItem {
    char* pTag;   // the tag name as written
    void* pData;  // run: its text; tag: attribute text; "a": HtmlLink; measured table: HtmlTable
    int Len;      // length of the run or attribute text when the item was made
};

// A link or anchor, made for every "a" tag.
struct HtmlLink {
    char* pTarget;  // value of "name" or "href"
    int Start;      // laying out: row; afterwards offset of the first character in the page text
    int End;        // laying out: column; afterwards offset just after the last character
    int Len;        // columns the link text occupies
    int Kind;       // 1 anchor (name), 2 link (href), 0 neither
    int EndRow, EndColumn;  // laying out: where the text ends
};

struct HtmlPage {
    char* pName;       // from "page=", or none (shown as "contents")
    char* pText;       // the laid-out text; none until laid out
    ListHeader Head;   // HtmlItem of the head section
    ListHeader Body;   // HtmlItem of the body section
    ListHeader Links;  // HtmlLink* in the order their closing tags were met
    int RowCnt;        // text rows of the laid-out page
    int BodyStart;     // laying out: the body's first row; afterwards its offset in the page text
};

struct HtmlFile {
    char* pName;     // without "file://" and without the fragment
    char* pContent;  // the document text, cut and rewritten in place by the parser
    char* pCursor;   // parse position
    ListHeader Pages;
};

// A measured table, the pData of its item once the tag reads "fitab".
struct HtmlTable {
    int X, Y;           // left column and top row in the image
    int Width, Height;  // in columns and rows, edges and rules included
    int Padding;        // cellpadding / 7
    int Spacing;        // cellspacing / 7
    int Rule;           // width of a vertical rule: 1
    char Border;        // a border attribute was given
    int* pRowHeights;   // Rows text-line counts
    int* pColWidths;    // Cols column widths
    int Rows, Cols;
};

// ------------------------------------------------------- document state
extern HtmlFile aFile[HTML_MAX_FILES];
extern int FileIndex;     // loaded documents, the next free slot
extern int CurrentFile;   // slot of the document shown
extern HtmlPage* pCurrentPage;

// Entity names of the Latin-1 characters 160 to 255 (",nbsp;,...,yuml;,"),
// each name's length with its ';' by list position, and the codes.
extern const char HTMLKeys[];
extern const int HTMLKeySizes[97];
extern const unsigned char HTMLChars[96];
extern const char HtmlKeys[];  // the tags the layout knows, separator-led
struct HtmlEntity {
    const char* pName;
    int Code;
};
constexpr int HTML_MORE_ENTITIES = 68;
extern const HtmlEntity HtmlMoreEntities[HTML_MORE_ENTITIES];  // beyond Latin-1, and &amp; &lt; ...

// ------------------------------------------------------------ characters
// The page texts are in UTF-8 when HtmlUtf8 is set (a UTF-8 locale, which
// the tools look up with HtmlLocaleIsUtf8), else in ISO 8859-1 with "?" for
// what it cannot hold. No control character but TAB, LF and FF from a
// document ever reaches them.
extern bool HtmlUtf8;
bool HtmlLocaleIsUtf8();  // LC_ALL, else LC_CTYPE, else LANG names UTF-8
// The character a reference to code stands for: a blank for TAB, LF, CR,
// FF; U+FFFD for no character or a control; 128 to 159 as Windows-1252.
int HtmlCodePoint(long code);
int HtmlEncodeChar(char* out, int code);  // in the page charset; bytes written (1 to 4)
// The length of the valid UTF-8 sequence at p (not ASCII) and its code; 0
// when the bytes there are no such sequence.
int HtmlDecodeUtf8(const unsigned char* p, int* code);
// The document text in the page charset, controls left out: valid UTF-8
// is read as such, other bytes as ISO 8859-1. Takes text (PutMem).
char* HtmlDecodeSource(char* text);

// ---------------------------------------------------------------- parser
// Loads (from the file when content is none, else from a copy of content),
// parses and lays out a document, makes it current at its first page and
// goes to the fragment after '#'. None for "http://" names, unreadable
// files, documents without a page and when all slots are taken. A document
// already loaded is reused.
HtmlFile* ParseHtmlFile(const char* name, const char* content);
HtmlFile* FindHtmlFile(const char* name);  // exact name; makes it current
// Parses from file's cursor into list up to "/" + endTag or the end.
void ParseHtml(HtmlFile* file, ListHeader* list, const char* endTag);
void AddAtribute(ListHeader* list, char* tag, char* data);
char* GetKeyWord(HtmlFile* file);  // the next tag's text, cut in place; none at the end
// The name of a tag cut off at its first blank; *attrs gets the rest.
char* CutTagName(char* text, char** attrs);
// The value of attribute key (any letter case) of a tag's attribute text,
// unquoted, copied into value (size bytes, cut beyond); false without one.
bool HtmlAttribute(const char* attrs, const char* key, char* value, int size);

// ---------------------------------------------------------------- layout
// All work on pCurrentPage.
void PrintTextImage(HtmlFile* file);
void BuildTextImage(HtmlFile* file);
void BuildTextBody(HtmlFile* file, HtmlTable* table, int row, int column);
HtmlTable* GetTextTable(HtmlFile* file, HtmlItem* tableItem, int available);
int GetColumnCnt();
void DrawTableArea(HtmlFile* file, HtmlTable* table);
// Writes n characters of text (n copies of its first with fill) at
// (*row, *column) of the image and moves the position on.
void PrintText(HtmlFile* file, int* row, int* column, const char* text, int n, char fill);
// True when the item is a table that has been measured (its tag "fitab").
bool IsMeasuredTable(const HtmlItem* item);

// ------------------------------------------------------------ navigation
struct HtmlPlace {
    int File;
    HtmlPage* pPage;
    int TargetPos;
};
extern HtmlPlace History[HTML_HISTORY_SIZE];
extern int HistoryI;
extern int TargetPos;        // offset in the page text of the place last jumped to
extern bool flBuildingFile;  // loading or following; position-based selection refused
extern int ContentsFile;     // the slot whose first page "Contents" shows

// Moves to a page or anchor of the current document; false (and nowhere)
// when the target names nothing there.
bool GoToTarget(const char* target);
// Where a target names in file: a page of that name, else the first anchor
// of that name, walking the pages in order (page and pos may be none).
bool HtmlFindTarget(HtmlFile* file, const char* target, HtmlPage** page, int* pos);
// How following a link ended.
enum : int {
    HTML_LINK_FOLLOWED = 0,
    HTML_LINK_NO_TARGET = 1,    // its #NAME names nothing (another document opens at its first page)
    HTML_LINK_NO_DOCUMENT = 2,  // its document cannot be read; the page stays
};
int ProcessLink(HtmlLink* link);
void SetHistory();
int HtmlSetHistory(int mode);  // 0 contents, -1 back; 0 when the history is empty
void HtmlProcessLink(int position);
// True when the viewer offers this link of page as a menu item.
bool HtmlLinkOffered(const HtmlLink* link);
// Forgets every loaded document (for tests; the documents' memory is given back).
void HtmlResetDocuments();
