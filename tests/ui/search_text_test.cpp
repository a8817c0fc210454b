// The search box's rule in the window and in the tool is one: queries/search_text upper-cases
// every code point as QString::toUpper does, and the window's search key is built from it; and
// a callsign's letters (core/letter.h) are the letters Qt knows.

#include <QList>
#include <QRandomGenerator>
#include <QtTest>

#include "core/letter.h"
#include "queries/search_text.h"
#include "search_input.h"

using namespace kalvera;

namespace {

// Compared as UTF-8: QString::fromUtf8 would drop a leading U+FEFF as a byte-order mark.
QByteArray UpperCasedByTheRule(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return QByteArray::fromStdString(
        UpperCaseSearchText(std::string_view(utf8.constData(), std::size_t(utf8.size()))));
}

}  // namespace

class SearchTextTest : public QObject {
    Q_OBJECT
  private slots:
    void upperCaseAndLetters_everyCodePoint_asQtHasThem() {
        int differences = 0;
        for (char32_t code = 0; code <= 0x10FFFF; ++code) {
            if (code >= 0xD800 && code <= 0xDFFF) {
                continue;
            }
            const QString text = QStringView(QChar::fromUcs4(code)).toString();
            const QByteArray expected = text.toUpper().toUtf8();
            if (UpperCasedByTheRule(text) != expected && ++differences <= 10) {
                qWarning("U+%04X: the rule gives \"%s\", Qt \"%s\"", unsigned(code),
                         UpperCasedByTheRule(text).constData(), expected.constData());
            }
            if (IsLetter(code) != QChar::isLetter(code) && ++differences <= 10) {
                qWarning("U+%04X: a letter for Qt but not here, or the other way", unsigned(code));
            }
        }
        QCOMPARE(differences, 0);
    }

    // Qt's upper case looks at no neighbour: whole texts come out as their characters do.
    void upperCase_texts_asQtDoesIt() {
        const QList<char32_t> pool = {'a',   'Z',    ' ',    '1',     0xDF,   0xE9,  0x149, 0x3C2,
                                      0x390, 0x1F80, 0xFB03, 0x10428, 0x2D00, 0x434, 0x69,  0x131};
        QRandomGenerator random(17);
        for (int i = 0; i < 2000; ++i) {
            QString text;
            for (int k = random.bounded(8); k >= 0; --k) {
                text += QStringView(QChar::fromUcs4(pool[random.bounded(pool.size())])).toString();
            }
            QCOMPARE(UpperCasedByTheRule(text), text.toUpper().toUtf8());
        }
    }

    // The window's key as the window has always built it: the prefix, then the text trimmed of
    // spaces and upper-cased.
    void searchKey_isThePrefixAndTheTrimmedUpperCasedText() {
        for (const char* typed : {"abc", " ab", "ab ", "   ", "\tab", "\xC3\xA9", "\xC3\x9F",
                                  " \xC3\xA9t\xC3\xA9", "q", "\xEF\xAC\x83"}) {
            QString text = QString::fromUtf8(typed);
            QCOMPARE(IsNumericText(text), false);
            const QString key = SearchKey(text);
            while (text.startsWith(QLatin1Char(' '))) {
                text.remove(0, 1);
            }
            while (text.endsWith(QLatin1Char(' '))) {
                text.chop(1);
            }
            QCOMPARE(key, QStringLiteral("QV27") + text.toUpper());
        }
    }
};

QTEST_MAIN(SearchTextTest)
#include "search_text_test.moc"
