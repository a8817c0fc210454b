// The window's tests. Chief of them a member's session with the window, against the approved
// transcript golden/session.txt: after start-up and after each step, every control that changed,
// as the member and a screen reader meet it, then what the step told the screen reader or showed
// in a message box. Last, start-up over log.txt files that are missing, damaged or unreadable,
// each as it differs from the session's start-up. On Linux some steps also compare the window,
// rendered with the Tahoma of fonts-wine, pixel by pixel with their image in golden/ (the fonts
// of other systems draw otherwise).
//
// After a deliberate change to the window, regenerate the transcript and the images with
//     KALVERA_UPDATE_GOLDENS=1 ctest --test-dir build -R ui_window
// and look at what changed (git status tests/ui/golden) before committing it. On a mismatch
// what the test saw is written to build/tests/ui/golden-out/.

#include <private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>
#include <QPushButton>
#include <QScrollBar>
#include <QStyleFactory>
#include <QTcpServer>

#include "core/letter.h"
#include "form2.h"
#include "queries/search_text.h"
#include "support/failing_input.h"
#include "twips.h"
#include "ui_test_support.h"

using namespace kalvera;
using namespace kalvera::testing;

namespace {

// Statuses far from any test run's date: green, red, yellow and none; then values longer than
// their boxes.
const QByteArray kCallbook =
    "versi: 2026-03-01 10:15\r\n"
    "QV27ABC#Budi Santoso#Jl. Melati 7#Kab. Contoh#0412#2099-01-31#perpanjangan\r\n"
    "QV27BGS#Wahyu Hidayat#Jl. Kenanga 21#Kota Dua#0413#2001-01-31#\r\n"
    "QV27SHU#Soekarno Hadi#Jl. Dahlia 3#Kab. Contoh#0101#0000-00-00#seumur hidup\r\n"
    "QV27NUL#Rina Marlina#Kota Dua#Kota \xD1usa#0415#null#\r\n"
    "QV27PJG#Raden Mas Soeryo Koesoemo Hadiningrat-Sch\xC3\xB6nberg-Wirjosoemarto bin Haji "
    "Abdurrahman#Perumahan Griya Permata Hijau Blok C-17 Nomor 4, Jalan Raya Cibubur Kelurahan "
    "Harjamukti, RT 005 RW 011, Kecamatan Cimanggis, dekat Masjid Al-Ikhlas dan Pasar Pagi#"
    "Kabupaten Kepulauan Seribu Utara dan Selatan Daerah Khusus Ibukota#0999#2099-12-31#valid\r\n";

// Start-up over other log.txt files; a lookup and the listing follow.
struct Startup {
    const char* name;
    std::optional<QByteArray> callbook;
    std::size_t failAfter = SIZE_MAX;  // the bytes read before every read fails
};

const std::vector<Startup> kStartups = {
    {"no log.txt", std::nullopt},
    {"a log.txt failing half-way", kCallbook.repeated(2000), std::size_t(kCallbook.size()) * 1000},
    {"a log.txt with its version line only", QByteArray("versi: 2026-01-01\r\n")},
    {"members beyond ASCII after zeros", QByteArray(4096, '\0') +
                                             "\r\nQV27\xC3\x89#Budi#Jl#Kota#1#null#\r\nQV27\xC3\x84"
                                             "B#Ani#Jl#Kota#2#null#\r\n"},
};

// What the steps noted, the screen reader was told and the message boxes said, in order.
QStringList notes;

const bool kUpdating = qEnvironmentVariableIntValue("KALVERA_UPDATE_GOLDENS") != 0;

template <typename E>
QString Key(E value) {
    return QString::fromLatin1(QMetaEnum::fromType<E>().valueToKey(value));
}

// Quoted, its second line on a line of its own; of a longer text only the first line.
QString Quoted(QString text) {
    const qsizetype lines = text.count('\n') + 1;
    text.replace(QStringLiteral("\r"), QStringLiteral("\\r"));
    if (lines > 2) {
        return QStringLiteral("\"%1...\" (%2 lines)").arg(text.section('\n', 0, 0)).arg(lines);
    }
    return '"' + text.replace(QStringLiteral("\n"), QStringLiteral("\n    | ")) + '"';
}

// A notification is spoken as it appears (AT-SPI) or as its value changes (UI Automation).
void Record(QAccessibleEvent* event) {
    const QAccessibleInterface* object = event->accessibleInterface();
    const auto* change = dynamic_cast<QAccessibleValueChangeEvent*>(event);
    if (event->type() == QAccessible::Focus) {
        notes << QStringLiteral("told focus: ") + event->object()->objectName();
    } else if (object && object->role() == QAccessible::Notification &&
               (change || event->type() == QAccessible::ObjectShow)) {
        notes << Key(event->type()) + ": " +
                     Quoted(change ? change->value().toString() : object->text(QAccessible::Name));
    }
}

// A control, or the window, as the member and a screen reader meet it. Left out: what a control
// takes from its container, a label's size and the left of a label centred in its container,
// which the platform's fonts decide, and where the window stands, which they say is centred.
QString Describe(QWidget* w) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
    const TwipsRect r = GeometryTwips(w);
    const bool centred =
        qobject_cast<QLabel*>(w) &&
        std::abs(2 * r.left + r.width - GeometryTwips(w->parentWidget()).width) <= 1;
    const QString left = centred ? QStringLiteral("centre") : QString::number(r.left);
    QString d =
        w->isWindow() ? QStringLiteral("window") : QStringLiteral("@%1,%2").arg(left).arg(r.top);
    if (!qobject_cast<QLabel*>(w)) {
        d += QStringLiteral(" %1x%2").arg(r.width).arg(r.height);
    }
    const QPoint offCentre =
        w->frameGeometry().center() - w->screen()->availableGeometry().center();
    const std::pair<bool, const char*> flags[] = {
        {!w->isVisibleTo(w->parentWidget()), " hidden"},
        {w->isWindow() && w->isVisible() && offCentre.manhattanLength() <= 2, " centred"},
        {w->isWindow() && (w->windowFlags() & Qt::WindowMinMaxButtonsHint), " min-max-buttons"},
        {!w->isEnabled(), " disabled"},
        {w->window()->focusWidget() == w, " focus"},
        {w->cursor().shape() == Qt::PointingHandCursor, " hand"},
        {a->state().readOnly, " readonly"},
        {a->state().editable, " editable"}};
    for (const auto& [set, flag] : flags) {
        d += set ? flag : "";
    }
    d += ' ' + Key(a->role());
    for (const auto& [key, text] :
         {std::pair{" name=", QAccessible::Name}, std::pair{" value=", QAccessible::Value},
          std::pair{" description=", QAccessible::Description}}) {
        d += a->text(text).isEmpty() ? QString() : key + Quoted(a->text(text));
    }
    d += a->childCount() > 0 ? QStringLiteral(" children=%1").arg(a->childCount()) : QString();
    if (QAccessibleTextInterface* text = a->textInterface(); text && qobject_cast<QLineEdit*>(w)) {
        int start = 0;
        int end = 0;
        text->selection(0, &start, &end);
        d += QStringLiteral(" caret=%1").arg(text->cursorPosition()) +
             (text->selectionCount() > 0 ? QStringLiteral(" selected %1-%2").arg(start).arg(end)
                                         : QString());
    }
    return d;
}

// The window and its controls by name; the pop-up menu, its form and the announcer are left
// out (the notes tell what they do).
QMap<QString, QString> Snapshot(Form1& form) {
    QMap<QString, QString> controls;
    for (QWidget* w : QList<QWidget*>{&form} + form.findChildren<QWidget*>()) {
        if (w->window() == &form && !w->objectName().isEmpty() &&
            !w->objectName().startsWith(QLatin1String("qt_")) &&
            QAccessible::queryAccessibleInterface(w)->role() != QAccessible::Notification) {
            controls.insert(w->objectName(), Describe(w));
        }
    }
    return controls;
}

// Notes how many pixels of a window as it is drawn now differ from the golden image `name` by more
// than the rounding of the painter's CPU-specific blending, when any do.
void CompareWithImage(QWidget& window, const QString& name) {
    if (!KALVERA_COMPARE_IMAGES) {
        return;
    }
    const QImage actual = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QString golden = QStringLiteral(KALVERA_GOLDEN_DIR "/%1.png").arg(name);
    const QImage expected = QImage(golden).convertToFormat(QImage::Format_RGB32);
    int differing = expected.size() == actual.size() ? 0 : -1;
    for (int i = 0; differing >= 0 && i < actual.width() * actual.height(); ++i) {
        const QPoint at(i % actual.width(), i / actual.width());
        const QRgb a = actual.pixel(at);
        const QRgb e = expected.pixel(at);
        differing += std::max({std::abs(qRed(a) - qRed(e)), std::abs(qGreen(a) - qGreen(e)),
                               std::abs(qBlue(a) - qBlue(e))}) > 8;
    }
    if (differing != 0) {
        actual.save(kUpdating ? golden
                              : QStringLiteral(KALVERA_GOLDEN_OUT_DIR "/%1.png").arg(name));
    }
    if (differing != 0 && !kUpdating) {
        notes << QStringLiteral("%1 pixels (-1: its size) differ from %2; fonts-wine installed?")
                     .arg(differing)
                     .arg(golden);
    }
}

void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
}

// Notes the pop-up menu that `open` opens, if any, and where it stands against Menu's
// bottom-left corner, and compares it with `image`; Escape closes it.
void NoteMenu(Form1& form, const char* image, const std::function<void()>& open) {
    const PopUpSeen seen = WithPopUp(open, [&form, image](QMenu* menu) {
        const QLabel* label = form.Controls().Label6;
        const QPoint at = menu->pos() - label->mapToGlobal(QPoint(0, label->height()));
        notes << QStringLiteral("menu at %1,%2 from Menu's corner").arg(at.x()).arg(at.y());
        CompareWithImage(*menu, QString::fromLatin1(image));
        QTest::keyClick(menu, Qt::Key_Escape);
        return false;
    });
    notes << QStringLiteral("a menu opened: %1").arg(seen.opened);
}

void Choose(Form1& form, const char* item) {
    notes << QStringLiteral("%1 chosen: %2").arg(item).arg(ChooseFromMenu(form, item).chosen);
}

// Types into the control with the focus: \t Tab, \v Shift+Tab, \b Backspace, \r Enter, \x1b
// Escape.
void Type(const char* keys) {
    QTest::keyClicks(QApplication::focusWidget(), QString::fromLatin1(keys));
}

// The pointer over Menu, which turns red, then at `point` of the control `over` (negative: from
// its right or bottom edge); Menu is then compared with `image`.
void Hover(Form1& form, const char* over, QPoint point, const char* image) {
    QTest::mouseMove(form.Controls().Label6, QPoint(5, 5));
    QWidget* w = over == form.objectName() ? &form : form.findChild<QWidget*>(over);
    QTest::mouseMove(w, QPoint(point.x() < 0 ? w->width() + point.x() : point.x(),
                               point.y() < 0 ? w->height() + point.y() : point.y()));
    CompareWithImage(*form.Controls().Label6, QString::fromLatin1(image));
}

// A session with the window, written to a transcript step by step: under each step's name what
// changed in the window since the step began, then the notes.
struct Session {
    Form1& form;
    QStringList& transcript;
    QString name;
    QMap<QString, QString> shown = {};
    const char* image = nullptr;  // compared with the window as the step ends

    // Ends the step that ran, and begins the next in the active window with typing `keys`.
    void Step(const char* next, const char* keys = "", const char* nextImage = nullptr) {
        End();
        name = QString::fromLatin1(next);
        image = nextImage;
        shown = Snapshot(form);
        if (!ShowActive(form)) {
            qFatal("the window did not become the active window");
        }
        notes.clear();
        Type(keys);
    }

    void End() {
        if (image) {
            // As the next repaint shows it: the layouts asked for (a scroll bar coming or going,
            // for one) are done first.
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
            CompareWithImage(form, QString::fromLatin1(image));
        }
        transcript << QStringLiteral("== ") + name;
        const QMap<QString, QString> now = Snapshot(form);
        for (auto control = now.cbegin(); control != now.cend(); ++control) {
            if (shown.value(control.key()) != control.value()) {
                transcript << control.key() + ' ' + control.value();
            }
        }
        transcript << notes;
        notes.clear();
    }
};

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        QApplication::setQuitOnLastWindowClosed(false);
        // The style the program has on Linux, and a caret that does not blink, so that it is
        // either always drawn or never.
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QApplication::setCursorFlashTime(0);
        // Qt sends its accessibility events only while a screen reader listens; offscreen none
        // does, so the platform's accessibility is switched on by hand.
        QGuiApplicationPrivate::platformIntegration()->accessibility()->setActive(true);
        QAccessible::installUpdateHandler(Record);
        MessageBoxes::SetObserver([](const MessageRequest& box) {
            notes << QStringLiteral("box %1 %2: ").arg(Key(box.icon), Quoted(box.title)) +
                         Quoted(box.text);
        });
    }

    // The search box's rule in the window and in the tool is one: queries/search_text
    // upper-cases every code point as QString::toUpper does, and a callsign's letters
    // (core/letter.h) are the letters Qt knows. Upper-cased a block of 64 code points at a time:
    // Qt's upper case looks at no neighbour, so a whole text comes out as its characters do.
    // Compared as UTF-8, as QString::fromUtf8 would drop a leading U+FEFF as a byte-order mark.
    void searchRule_everyCodePoint_upperCaseAndLettersAsQtHasThem() {
        for (char32_t block = 0; block <= 0x10FFFF; block += 64) {
            QString text;
            QString letters;
            QString qtLetters;
            for (char32_t code = block; code < block + 64; ++code) {
                const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
                text += surrogate ? QString() : QStringView(QChar::fromUcs4(code)).toString();
                letters += IsLetter(code) ? 'L' : '-';
                qtLetters += QChar::isLetter(code) ? 'L' : '-';
            }
            const QByteArray utf8 = text.toUtf8();
            const std::string_view view(utf8.constData(), std::size_t(utf8.size()));
            QCOMPARE(QByteArray::fromStdString(UpperCaseSearchText(view)), text.toUpper().toUtf8());
            QCOMPARE(letters, qtLetters);
        }
    }

    void session_matchesTheApprovedTranscript() {
        const auto clock = [] { return QDateTime(QDate(2030, 12, 31), QTime(23, 59, 59)); };
        QTcpServer silent;  // takes the download's connection and never answers
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        const QString source =
            QStringLiteral("http://127.0.0.1:%1/log.txt").arg(silent.serverPort());
        const ProgramFolder folder(kCallbook);
        std::optional<CountedOpens> opens(std::in_place);
        Form1 form(folder.path(), source, clock);
        const Form1Controls& c = form.Controls();
        notes << QStringLiteral("log.txt opened %1 times").arg(opens->Count())
              << QStringLiteral("the code of ethics: ") +
                     CodeOfEthicsText().replace(QStringLiteral("\r\n"), QStringLiteral("\\r\n"));
        opens.reset();
        notes << QStringLiteral("regions: ") + ComboItems(form).join('|');
        const QMap<QString, QString> atStartup = Snapshot(form);
        QStringList transcript;
        Session session{form, transcript, QStringLiteral("start-up, before the first show")};

        session.Step("first show: centred, the focus in the search box, its sample selected", "",
                     "start");
        session.Step("Tab away and back before a lookup: the menu hint said once", "\t\v");
        session.Step("typed over the sample and Enter: a red member, announced", "bgs\r",
                     "found_invalid_red");
        session.Step("after a red result: the status colour set anew", "abc\r",
                     "found_renewed_green");
        session.Step("Tab from the search box through the boxes backwards to Cari",
                     "\t\t\t\t\t\t\t\t\t");
        session.Step("a number: the boxes emptied, the colour kept", "12\r", "numeric_after_green");
        session.Step("an unknown suffix: white, the not-found line, announced", "zzz\r",
                     "not_found");
        session.Step("a lifetime member: yellow, the not-found line cleared", "shu\r",
                     "found_lifetime_yellow");
        session.Step("no valid-until date after a yellow one: no status, white", "nul\r",
                     "found_no_status_white");
        session.Step("values longer than their boxes show their start", "pjg\r", "long_values");
        session.Step("nothing typed: the colour goes white", "\r", "nothing_typed_white");
        session.Step("Escape does not search, the keypad's Enter does", "abc\x1b");
        Press(Qt::Key_Enter, Qt::KeypadModifier);
        session.Step("Cari searches", "bgs");
        QTest::mouseClick(c.Command1, Qt::LeftButton);
        session.Step("the search box upper-cases, its caret after the last of three", "ab");
        Press(Qt::Key_Home);
        Type("cd");
        session.Step("the focus back by Tab selects the search box's text", "\t\v");
        session.Step("so does the focus back from the menu", "\bXY");
        NoteMenu(form, "menu", [&c] { QTest::mouseClick(c.Label6, Qt::LeftButton); });
        session.Step("a click puts the caret where it falls", "\t");
        QTest::mouseClick(c.txtCari, Qt::LeftButton, {}, QPoint(2, c.txtCari->height() / 2));
        session.Step("Menu black over the banner, which is disabled");
        Hover(form, "Form1", {60, 30}, "menu_label_black");
        session.Step("Menu black over the footer band");
        Hover(form, "Form1", {-10, -8}, "menu_label_black");
        session.Step("Menu black over the lookup panel");
        Hover(form, "Frame1", {-12, -6}, "menu_label_black");
        session.Step("Menu as it was over a control");
        Hover(form, "Data1_1", {5, 5}, "menu_label_red");
        session.Step("F10 opens the menu on its first item; Escape gives the focus back");
        NoteMenu(form, "menu_from_keyboard", [] { Press(Qt::Key_F10); });
        session.Step("the left button opens the menu under Menu, no item highlighted; others none");
        for (const Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
            NoteMenu(form, "menu", [&c, button] { QTest::mouseClick(c.Label6, button); });
        }
        session.Step("Kode Etik: the code of ethics in the lookup panel's place, read out",
                     "code_of_ethics");
        Choose(form, "mKode");
        session.Step("Menu black over the code of ethics");
        Hover(form, "Frame2", {3, -4}, "menu_label_black");
        session.Step("Callsign: the lookup panel back, its results kept");
        Choose(form, "mCallsign");
        session.Step("the clock line, which nothing starts, in Indonesian");
        for (int i = 0; i < 12; ++i) {
            form.SetClock([i] {
                return QDateTime(QDate(2025, 1, 1).addDays(32 * i), QTime(2 * i, 5 * i, i));
            });
            form.Timer1_Timer();
            notes << c.Label2->text();
        }
        notes << QStringLiteral("every %1 ms, running: %2")
                     .arg(c.Timer1->interval())
                     .arg(c.Timer1->isActive());
        session.Step(
            "the hidden region listing appends the rows of a chosen region twice, a "
            "region by its stored bytes, typed text as typed, and counts them");
        for (const int item : {1, 1, 3}) {
            c.Combo1->setCurrentIndex(item);
            form.Command2_Click();
        }
        c.Combo1->setEditText(QStringLiteral("Kota Dua"));
        form.Command2_Click();
        notes << QStringLiteral("scrolls %1 of %2")
                     .arg(c.List1->horizontalScrollBar()->maximum() + c.List1->viewport()->width())
                     .arg(c.List1->HorizontalExtent());
        for (int i = 0; i < c.List1->count(); ++i) {
            notes << c.List1->item(i)->text();
        }
        session.Step("Unduh Database: the download panel while the server is silent",
                     "download_panel");
        Choose(form, "mUnduh");
        session.Step("closing is quiet, ends the download and unloads the hidden menu form");
        const QPointer<Form2> menuForm = form.ExistingMenuForm();
        notes << QStringLiteral("the menu form shown: %1").arg(menuForm->isVisible());
        form.close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        notes << QStringLiteral("the menu form left: %1").arg(!menuForm.isNull());
        session.End();

        for (const Startup& startup : kStartups) {
            const ProgramFolder other(startup.callbook);
            const ReadFailureAfter failure(startup.failAfter);
            Form1 window(other.path(), source, clock);
            Session row{window, transcript, QStringLiteral("start-up over ") + startup.name,
                        atStartup};
            QTest::keyClick(window.Controls().txtCari, Qt::Key_Return);  // the sample ABC
            window.Command2_Click();
            notes << QStringLiteral("regions: ") + ComboItems(window).join('|');
            row.End();
        }

        const QString approved = QStringLiteral(KALVERA_GOLDEN_DIR "/session.txt");
        const QString seen = QStringLiteral(KALVERA_GOLDEN_OUT_DIR "/session.txt");
        QFile file(kUpdating ? approved : seen);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Text));
        file.write(transcript.join('\n').toUtf8() + '\n');
        file.close();
        QFile expected(approved);
        QVERIFY2(expected.open(QIODevice::ReadOnly | QIODevice::Text), qPrintable(approved));
        QVERIFY2(transcript.join('\n') + '\n' == QString::fromUtf8(expected.readAll()),
                 qPrintable(QStringLiteral("see diff -u %1 %2").arg(approved, seen)));
    }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
