#include "search_input.h"

#include "queries/messages.h"
#include "queries/search_text.h"

namespace kalvera {

QString TrimBlanks(const QString& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == QLatin1Char(' ')) {
        ++first;
    }
    while (last > first && text.at(last - 1) == QLatin1Char(' ')) {
        --last;
    }
    return text.mid(first, last - first);
}

bool IsNumericText(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return IsNumericSearchText(
        std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

QString SearchKey(const QString& suffix) {
    return QString::fromUtf8(kCallsignPrefix.data(),
                             static_cast<qsizetype>(kCallsignPrefix.size())) +
           TrimBlanks(suffix).toUpper();
}

}  // namespace kalvera
