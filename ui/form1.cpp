#include "form1.h"

#include <QAccessible>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStringList>
#include <QWindow>

#include "accessibility.h"
#include "controls.h"
#include "core/callbook_path.h"
#include "core/callbook_record.h"
#include "core/display_text.h"
#include "fonts.h"
#include "form2.h"
#include "message_box.h"
#include "queries/callbook_overview.h"
#include "queries/callsign_lookup.h"
#include "queries/messages.h"
#include "queries/region_list.h"
#include "queries/version_banner.h"
#include "search_input.h"
#include "twips.h"
#include "window_texts.h"

namespace kalvera {
namespace {

// Start-up sets the outer width. The frame is not known before the first show, so the client
// area is what a fixed single border leaves on Windows: 4 pixels each side.
constexpr int kStartupOuterWidthTwips = 5480;
constexpr int kAssumedBorderPixels = 8;
constexpr int kClientHeightTwips = 6315;

constexpr int kImage2Position = -5;
constexpr int kShape2Left = -10;
constexpr int kShape2Overhang = 100;

constexpr int kListExtentPixels = 5000;

std::filesystem::path ToPath(const QString& folder) {
    return std::filesystem::path(folder.toStdU16String());
}

QString FromUtf8(const std::string& text) {
    return QString::fromStdString(text);
}

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

Form1::Form1(const QString& programFolder, const QString& sourceUrl, QWidget* parent)
    : Form1(
          programFolder, sourceUrl, [] { return QDateTime::currentDateTime(); }, parent) {}

Form1::Form1(const QString& programFolder, const QString& sourceUrl,
             std::function<QDateTime()> clock, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      programFolder_(
          ToPath(programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : programFolder)),
      sourceUrl_(sourceUrl),
      clock_(std::move(clock)) {
    EnsureWindowFonts();
    InstallAccessibleRoles();
    CreateControls();
    ConnectUpdater();
    outerWidthTwips_ = width() * kTwipsPerPixel + kAssumedBorderPixels * kTwipsPerPixel;
    Form_Load();
}

Form1::~Form1() = default;

QString Form1::CallbookFile() const {
    return QString::fromStdU16String(CallbookPath(programFolder_).u16string());
}

Form2* Form1::ExistingMenuForm() const {
    return menuForm_;
}

void Form1::SetClock(std::function<QDateTime()> clock) {
    clock_ = std::move(clock);
}

void Form1::SetOuterWidthTwips(int twips) {
    outerWidthTwips_ = twips;
    setFixedSize(TwipsToPixels(twips) - kAssumedBorderPixels, TwipsToPixels(kClientHeightTwips));
}

void Form1::Form_Load() {
    Form1Controls& c = controls_;
    // Fills the hidden Combo1 on every start, although nothing shows it: the listing is
    // switched off in this design but kept working.
    LoadRegionList();
    SetOuterWidthTwips(kStartupOuterWidthTwips);
    setWindowTitle(QString::fromUtf8(kWindowCaption));
    for (std::size_t i = 0; i < DayNames.size(); ++i) {
        DayNames[i] = QString::fromUtf8(kDayNames[i]);
    }
    for (std::size_t i = 0; i < MonthNames.size(); ++i) {
        MonthNames[i] = QString::fromUtf8(kMonthNames[i]);
    }
    for (QWidget* box : c.Data1) {
        SetBoxText(box, QString());
    }
    SetBoxBackground(c.Data1[kStatus], Qt::white);
    SetTopTwips(c.Image2, kImage2Position);
    SetLeftTwips(c.Image2, kImage2Position);
    SetLeftTwips(c.Shape2, kShape2Left);
    SetWidthTwips(c.Shape2, WidthTwips() + kShape2Overhang);
    const TwipsRect lookupPanel = GeometryTwips(c.Frame1);
    SetLeftTwips(c.Frame2, lookupPanel.left);
    SetTopTwips(c.Frame2, lookupPanel.top);
    SetCaption(c.Label7, QString());
    SetCaption(c.Label3, FooterNotice(clock_().date().year()));
    c.txtEtik->setPlainText(CodeOfEthicsText());
    ShowDatabaseVersion();
    ShowDamagedCallbook();
}

void Form1::ShowDamagedCallbook() {
    if (startupWithoutMembers_) {
        MessageBoxes::Show(this, {QString::fromUtf8(kDamagedCallbookMessage),
                                  FromUtf8(kMissingCallbookTitle), QMessageBox::Warning});
    }
    startupWithoutMembers_ = false;
}

void Form1::ShowMissingCallbook() {
    MessageBoxes::Show(this, {FromUtf8(kMissingCallbookMessage), FromUtf8(kMissingCallbookTitle),
                              QMessageBox::Critical});
}

void Form1::LoadRegionList() {
    // One pass gives the regions and the version banner; start-up shows the banner last,
    // from what this pass found, so the file is read once.
    CallbookOverview overview = QueryRegionsAndVersion(CallbookPath(programFolder_));
    startupBanner_ = std::move(overview.version);
    // Silent about a missing or unreadable file: the banner reports it.
    const std::optional<ReadFailure>& failure = overview.regions.failure;
    if (failure && failure->missing) {
        return;
    }
    startupWithoutMembers_ = overview.Damaged();
    regions_ = std::move(overview.regions.regions);
    // Shown as text; the bytes as stored stay with each item, as they are the listing's key.
    for (const std::string& region : regions_) {
        controls_.Combo1->addItem(FromUtf8(ToDisplayText(region)),
                                  QByteArray(region.data(), static_cast<qsizetype>(region.size())));
    }
}

void Form1::ShowDatabaseVersion() {
    VersionBanner banner;
    if (startupBanner_) {
        banner = std::move(*startupBanner_);
        startupBanner_.reset();
    } else {
        banner = QueryDatabaseVersion(CallbookPath(programFolder_));
    }
    // A file that cannot be read through is no better than a missing one.
    const bool unread = banner.failure.has_value();
    if (!unread && banner.caption) {
        SetCaption(controls_.Label5, FromUtf8(*banner.caption));
    }
    // The banner is no control a screen reader reaches by Tab: the window's description, and
    // the search box's until the first lookup, carry it.
    setAccessibleDescription(controls_.Label5->text());
    DescribeSearchBox();
    if (unread) {
        ShowMissingCallbook();
    }
}

void Form1::DescribeSearchBox() {
    QString description = lastLookup_;
    if (description.isEmpty()) {
        description = controls_.Label5->text();
        if (menuHintPending_) {
            description += QStringLiteral(". ") + QString::fromUtf8(kMenuHint);
        }
    }
    controls_.txtCari->setAccessibleDescription(description);
}

void Form1::txtCari_Change() {
    QLineEdit* box = controls_.txtCari;
    const QString upper = box->text().toUpper();
    if (upper != box->text()) {
        box->setText(upper);  // changes the text once more; that pass finds nothing to do
    }
    box->setCursorPosition(static_cast<int>(box->text().size()));
    box->deselect();
}

void Form1::txtCari_KeyDown(int keyCode, Qt::KeyboardModifiers) {
    if (keyCode == Qt::Key_Return || keyCode == Qt::Key_Enter) {
        Command1_Click();
    }
}

void Form1::Command1_Click() {
    Form1Controls& c = controls_;
    for (QWidget* box : c.Data1) {
        SetBoxText(box, QString());
    }
    if (c.txtCari->text().isEmpty()) {
        c.txtCari->setFocus();
        SetBoxBackground(c.Data1[kStatus], Qt::white);
        return;
    }
    if (IsNumericText(c.txtCari->text())) {
        c.txtCari->clear();
        c.txtCari->setFocus();
        return;
    }
    SetBoxBackground(c.Data1[kStatus], Qt::white);
    SetCaption(c.Label7, QString());
    LookupCallsign(SearchKey(c.txtCari->text()));
    c.txtCari->clear();
    c.txtCari->setFocus();
}

void Form1::LookupCallsign(const QString& key) {
    Form1Controls& c = controls_;
    const QByteArray keyBytes = key.toUtf8();
    const std::string_view keyView(keyBytes.constData(), static_cast<std::size_t>(keyBytes.size()));
    const LookupResult result = QueryCallsign(CallbookPath(programFolder_), keyView);
    // A read that failed part-way may have hidden the member: never "tidak ditemukan!" then.
    if (result.failure) {
        ShowMissingCallbook();
        return;
    }
    if (result.found) {
        for (std::size_t i = 0; i < kStatus; ++i) {
            SetBoxText(c.Data1[i], FromUtf8(result.details[i]));
        }
        if (result.statusColour) {
            const Rgb colour = *result.statusColour;
            SetBoxText(c.Data1[kStatus], FromUtf8(result.details[kStatus]));
            SetBoxBackground(c.Data1[kStatus], QColor(colour.red, colour.green, colour.blue));
        }
    }
    if (BoxText(c.Data1[kCallsign]).isEmpty()) {
        SetCaption(c.Label7, FromUtf8(NotFoundLine(keyView)));
    }

    // The focus stays in the search box, so a screen reader would not speak the result by
    // itself: it is announced, and the box's description keeps it for when the focus returns.
    QStringList summary;
    if (!BoxText(c.Data1[kCallsign]).isEmpty()) {
        for (std::size_t i = 0; i < c.Data1.size(); ++i) {
            if (!BoxText(c.Data1[i]).isEmpty()) {
                summary << c.Label1[i]->text() + QLatin1Char(' ') + BoxText(c.Data1[i]);
            }
        }
    } else {
        summary << c.Label7->text();
    }
    lastLookup_ = summary.join(QStringLiteral(", "));
    DescribeSearchBox();
    Announce(this, lastLookup_);
}

// Command2, Combo1 and List1 are never shown, so no user reaches this listing.
void Form1::Command2_Click() {
    const QComboBox* combo = controls_.Combo1;
    const QString text = combo->currentText();
    const int index = combo->currentIndex();
    // The item's stored bytes when its text is what the field shows, else the typed text.
    if (index >= 0 && combo->itemText(index) == text) {
        ListRegionMembers(combo->itemData(index).toByteArray());
    } else {
        ListRegionMembers(text.toUtf8());
    }
}

void Form1::ListRegionMembers(const QByteArray& region) {
    const RegionListing listing = QueryRegionMembers(
        CallbookPath(programFolder_),
        std::string_view(region.constData(), static_cast<std::size_t>(region.size())));
    if (listing.failure) {
        ShowMissingCallbook();
        return;
    }
    for (const std::string& row : listing.rows) {
        controls_.List1->addItem(FromUtf8(row));
    }
    MessageBoxes::Show(this, {QString::number(controls_.List1->count()),
                              QString::fromUtf8(kApplicationTitle), QMessageBox::NoIcon});
    controls_.List1->SetHorizontalExtent(kListExtentPixels);
}

void Form1::Timer1_Timer() {
    const QDateTime now = clock_();
    const QDate date = now.date();
    CurrentDayName = DayNames[static_cast<std::size_t>(date.dayOfWeek() % 7)];
    CurrentMonthName = MonthNames[static_cast<std::size_t>(date.month() - 1)];
    SetCaption(controls_.Label2, QStringLiteral("%1, %2 %3 %4 - ")
                                     .arg(CurrentDayName)
                                     .arg(date.day(), 2, 10, QLatin1Char('0'))
                                     .arg(CurrentMonthName)
                                     .arg(date.year(), 4, 10, QLatin1Char('0')));
    SetCaption(controls_.Label2, controls_.Label2->text() +
                                     now.time().toString(QStringLiteral("HH:mm:ss")) +
                                     QStringLiteral(" WIB"));
    CurrentDayName.clear();
    CurrentMonthName.clear();
}

void Form1::Label6_MouseMove() {
    SetTextColour(controls_.Label6, Qt::red);
}

void Form1::Form_MouseMove() {
    SetTextColour(controls_.Label6, Qt::black);
}

void Form1::Frame1_MouseMove() {
    SetTextColour(controls_.Label6, Qt::black);
}

void Form1::Frame2_MouseMove() {
    SetTextColour(controls_.Label6, Qt::black);
}

Form2& Form1::MenuForm() {
    if (!menuForm_) {
        menuForm_ = new Form2(this);
        connect(menuForm_, &Form2::LookupPanelChosen, this, &Form1::ShowLookupPanel);
        connect(menuForm_, &Form2::CodeOfEthicsPanelChosen, this, &Form1::ShowCodeOfEthicsPanel);
        connect(menuForm_, &Form2::DownloadChosen, this, &Form1::UNDUH_DB);
    }
    return *menuForm_;
}

// The panel to be shown is made visible before the other is hidden.
void Form1::ShowLookupPanel() {
    controls_.Frame1->setVisible(true);
    controls_.Frame2->setVisible(false);
}

void Form1::ShowCodeOfEthicsPanel() {
    controls_.Frame2->setVisible(true);
    controls_.Frame1->setVisible(false);
    // Read out whole: a screen reader speaks only the line at the caret when the text gets the
    // focus.
    Announce(this, controls_.txtEtik->toPlainText());
}

void Form1::Label6_MouseUp(Qt::MouseButton button) {
    if (button != Qt::LeftButton) {
        return;
    }
    PopUpMenu(MenuOpening::ByPointer);
}

void Form1::PopUpMenu(MenuOpening how) {
    Form2& menu = MenuForm();
    if (isMinimized()) {
        return;
    }
    const TwipsRect label = GeometryTwips(controls_.Label6);
    menu.PopUp(
        mapToGlobal(QPoint(TwipsToPixels(label.left), TwipsToPixels(label.top + label.height))),
        how == MenuOpening::ByKeyboard);
}

void Form1::Form_Unload() {
    if (unloaded_) {
        return;
    }
    unloaded_ = true;
    if (updater_.IsBusy()) {
        updater_.Cancel();  // a standing question included: nothing is installed
    }
    WithdrawQuestion();
    // When "Menu" was never used this creates the menu form only to unload it at once. Kept
    // so: shutdown always unloads the menu form, whether or not it exists yet.
    MenuForm().Form_Unload();
    menuForm_ = nullptr;
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (awaitingFrame_ && watched == windowHandle()) {
        // Only the first expose: a frame that turns up later would move a window the user
        // may already be looking at.
        if (event->type() == QEvent::Expose) {
            awaitingFrame_ = false;
            windowHandle()->removeEventFilter(this);
            if (!windowHandle()->frameMargins().isNull()) {
                CentreOnScreen();
            }
        }
        return QWidget::eventFilter(watched, event);
    }
    const Form1Controls& c = controls_;
    switch (event->type()) {
        case QEvent::FocusIn: {
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            // As a Windows edit box in a dialog: focus that comes by keyboard, or back from a
            // box or the menu, selects the whole text, so what is typed next replaces it (the
            // sample suffix at start-up). A click places the caret where it falls.
            if (watched == c.txtCari && reason != Qt::MouseFocusReason) {
                c.txtCari->selectAll();
            }
            // Qt tells screen readers nothing when the focus comes back from a closed pop-up.
            if ((watched == c.txtCari || watched == c.txtEtik) && reason == Qt::PopupFocusReason) {
                QAccessibleEvent focus(watched, QAccessible::Focus);
                QAccessible::updateAccessibility(&focus);
            }
            break;
        }
        case QEvent::FocusOut:
            // The menu hint has been read with the box's first focus; once is enough.
            if (watched == c.txtCari && menuHintPending_) {
                menuHintPending_ = false;
                DescribeSearchBox();
            }
            break;
        case QEvent::KeyPress:
            if (watched == c.txtCari) {
                const auto* key = static_cast<QKeyEvent*>(event);
                txtCari_KeyDown(key->key(), key->modifiers());
            }
            break;
        case QEvent::MouseMove:
            if (watched == c.Label6) {
                Label6_MouseMove();
            } else if (watched == c.Frame1) {
                Frame1_MouseMove();
            } else if (watched == c.Frame2) {
                Frame2_MouseMove();
            }
            break;
        case QEvent::MouseButtonRelease:
            if (watched == c.Label6) {
                Label6_MouseUp(static_cast<QMouseEvent*>(event)->button());
            }
            break;
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::mouseMoveEvent(QMouseEvent* event) {
    Form_MouseMove();
    QWidget::mouseMoveEvent(event);
}

void Form1::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}

void Form1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (centred_) {
        return;
    }
    centred_ = true;
    CentreOnScreen();
    // Under an X11 window manager the frame is known only once the manager has framed the
    // window, after this first show; until then the frame is taken to be the client area, which
    // leaves the window half a title bar too high. It is centred once more, frame included, at
    // the first expose, when the frame is known: before anything of the window is painted.
    QWindow* window = windowHandle();
    if (window && window->frameMargins().isNull()) {
        awaitingFrame_ = true;
        window->installEventFilter(this);
    }
}

void Form1::CentreOnScreen() {
    const QScreen* where = screen();
    if (!where) {
        return;
    }
    // The frame comes from the platform window: QWidget's own copy of it (frameGeometry(),
    // and move(), which places the frame) can lag behind right after the window was framed.
    const QMargins frameMargins = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    QRect frame = geometry().marginsAdded(frameMargins);
    frame.moveCenter(where->availableGeometry().center());
    setGeometry(QRect(frame.topLeft() + QPoint(frameMargins.left(), frameMargins.top()), size()));
}

}  // namespace kalvera
