#pragma once

#include <QLocale>
#include <QString>

#include <string>
#include <string_view>

#include "shell/replace_question.h"

namespace ravelo {

// Our strings are UTF-8 bytes; Qt's are UTF-16.
QString Qs(std::string_view text);
std::string Std(const QString& text);

// Numbers, dates and times as the locale writes them (short date, long time).
TTextFormat LocaleTextFormat(const QLocale& locale = QLocale());

// Rich text for a dialog's message: lead and tail in normal style, name in
// bold between them; line breaks kept, markup in the texts shown as typed.
QString RichMessage(std::string_view lead, std::string_view name, std::string_view tail);

}  // namespace ravelo
