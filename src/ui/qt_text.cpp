#include "ui/qt_text.h"

#include <QDate>
#include <QTime>

namespace ravelo {

namespace {

QString Html(std::string_view text) {
  QString html = Qs(text).toHtmlEscaped();
  html.replace(QLatin1String("\r\n"), QLatin1String("<br>"));
  html.replace(QLatin1Char('\n'), QLatin1String("<br>"));
  return html;
}

}  // namespace

QString Qs(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string Std(const QString& text) {
  return text.toStdString();
}

TTextFormat LocaleTextFormat(const QLocale& locale) {
  TTextFormat format;
  format.ThousandsSeparator = Std(locale.groupSeparator());
  format.DecimalPoint = Std(locale.decimalPoint());
  format.ShortDate = [locale](int year, int month, int day) {
    return Std(locale.toString(QDate(year, month, day), QLocale::ShortFormat));
  };
  format.LongTime = [locale](int hour, int minute, int second) {
    return Std(locale.toString(QTime(hour, minute, second), QLocale::LongFormat));
  };
  return format;
}

QString RichMessage(std::string_view lead, std::string_view name, std::string_view tail) {
  return Html(lead) + QLatin1String("<b>") + Html(name) + QLatin1String("</b>") + Html(tail);
}

}  // namespace ravelo
