#include "search_input.h"

#include <string>
#include <string_view>

#include "queries/search_text.h"

namespace kalvera {
namespace {

std::string_view View(const QByteArray& utf8) {
    return {utf8.constData(), static_cast<std::size_t>(utf8.size())};
}

}  // namespace

bool IsNumericText(const QString& text) {
    return IsNumericSearchText(View(text.toUtf8()));
}

QString SearchKey(const QString& suffix) {
    return QString::fromStdString(SearchKeyFor(View(suffix.toUtf8())).callsign);
}

}  // namespace kalvera
