#include "search_input.h"

#include <QRegularExpression>

#include "queries/messages.h"

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
    static const QRegularExpression number(QStringLiteral("^[+-]?([0-9]+(\\.[0-9]*)?|\\.[0-9]+)$"));
    return number.match(TrimBlanks(text)).hasMatch();
}

QString SearchKey(const QString& suffix) {
    return QString::fromUtf8(kCallsignPrefix.data(),
                             static_cast<qsizetype>(kCallsignPrefix.size())) +
           TrimBlanks(suffix).toUpper();
}

}  // namespace kalvera
