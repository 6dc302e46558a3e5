// Text at the toolkit boundary: the API speaks Windows-1252 for captions
// and displayed texts and UTF-8 for paths and the texts of controls
// declared so; Qt speaks UTF-16.  Qt 6.4's
// QStringConverter has no Windows-1252 codec, hence the table here.
#pragma once

#include <QString>

#include <cstddef>
#include <string>
#include <string_view>

namespace rte::ui {

QString fromCp1252(std::string_view bytes);
// Characters that Windows-1252 cannot hold become '?'.
std::string toCp1252(const QString &text);
// Every character survives, whatever the language.
QString fromUtf8(std::string_view utf8);
std::string toUtf8(const QString &text);
// Copies at most capacity - 1 bytes and a terminating zero; a capacity of 0
// writes nothing.
void copyBounded(std::string_view text, char *target, std::size_t capacity);
// The same for UTF-8, cut before a character that does not fit whole: a
// cut text is still UTF-8.
void copyBoundedUtf8(std::string_view text, char *target, std::size_t capacity);

}  // namespace rte::ui
