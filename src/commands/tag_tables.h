#pragma once

#include <QString>
#include <QStringView>

#include <array>
#include <optional>

namespace holvane {

// A menu command that puts a tag pair around the selection.
struct PairedTag {
    const char *id;       // the menu item's stable id, also its QAction's objectName
    const char *caption;  // UTF-8, "&" before the access key
    const char *shortcut; // portable QKeySequence text
    const char *opening;
    const char *closing;
};

// A menu command that puts one tag at the caret.
struct SingleTag {
    const char *id;
    const char *caption;
    const char *shortcut;
    const char *text;
};

inline constexpr std::array<PairedTag, 13> kPairedTags{{
    {"tag.bold", "1 <B>(&1)", "Ctrl+B", "<B>", "</B>"},
    {"tag.italic", "2 <I>(&2)", "Ctrl+I", "<I>", "</I>"},
    {"tag.underline", "3 <U>(&3)", "Ctrl+U", "<U>", "</U>"},
    {"tag.teletype", "4 <TT>(&4)", "Ctrl+T", "<TT>", "</TT>"},
    {"tag.strikethrough", "5 <S>(&5)", "Ctrl+S", "<S>", "</S>"},
    {"tag.superscript", "6 <SUP>(&6)", "Ctrl+P", "<SUP>", "</SUP>"},
    {"tag.subscript", "7 <SUB>(&7)", "Ctrl+D", "<SUB>", "</SUB>"},
    {"tag.big", "8 <BIG>(&8)", "Ctrl+G", "<BIG>", "</BIG>"},
    {"tag.small", "9 <SMALL>(&9)", "Ctrl+M", "<SMALL>", "</SMALL>"},
    {"tag.anchor", "A <A>(&A)", "Ctrl+A", "<A HREF=\"\">", "</A>"},
    {"tag.font", "B <FONT>(&B)", "Ctrl+F", "<FONT COLOR=\"\" SIZE=\"\">", "</FONT>"},
    {"tag.table_row", "C <TR>(&C)", "Ctrl+O", "<TR>", "</TR>"},
    {"tag.table_cell", "D <TD>(&D)", "Ctrl+L", "<TD>", "</TD>"},
}};

inline constexpr std::array<SingleTag, 3> kSingleTags{{
    {"single_tag.line_break", "1 <BR>(&1)", "Ctrl+R", "<BR>"},
    {"single_tag.horizontal_rule", "2 <HR>(&2)", "Ctrl+H", "<HR ALIGN=\"\" COLOR=\"\" SIZE=\"\" WIDTH=\"\">"},
    {"single_tag.image", "3 <IMG>(&3)", "Ctrl+J", "<IMG SRC=\"\" WIDTH=\"\" HEIGHT=\"\" ALT=\"\">"},
}};

// The text that replaces a selection when its tags are taken off: what stands
// between the end of the first tag and the start of the next one. Nothing
// when the selection does not begin with "<" and end with ">": it then stays
// as it is. Works on selections of any length.
std::optional<QString> textBetweenFirstTags(QStringView selection);

} // namespace holvane
