// The program's strings are single bytes of the Western European code page
// (Windows-1252); the toolkit's are Unicode. These convert between the two.
#pragma once

#include <QString>
#include <optional>
#include <string>

// The code page byte for a character, or nothing when the code page lacks it.
std::optional<char> ToCodePage(QChar ch);

// Every character the code page lacks becomes '?', as an edit field of the
// code page would hold it.
std::string ToCodePage(const QString& text);

QString FromCodePage(const std::string& text);
QChar FromCodePage(char byte);
