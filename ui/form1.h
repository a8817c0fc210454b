#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/callbook_record.h"
#include "queries/version_banner.h"
#include "update/callbook_updater.h"
#include "window_texts.h"

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace kalvera {

class Form2;
class LineControl;
class ListBoxControl;
class PictureControl;
class ShapeControl;

// The detail boxes Data1(0) to Data1(6) hold the member's fields in field order, so a box is
// indexed by its CallbookField (Data1[kStatus] is the status box). Label1(0) to Label1(6)
// caption them; Label1(7) is the prefix label "QV27" in front of the search box.
inline constexpr std::size_t kDetailBoxCount = kMemberFieldCount;
inline constexpr std::size_t kPrefixLabel = kMemberFieldCount;
inline constexpr std::size_t kLabel1Count = kPrefixLabel + 1;

// The controls of the main window, by their design names; what each is for is said in the
// design table (form1_layout.cpp). Data1(2) is a QPlainTextEdit, the other detail boxes are
// QLineEdits; BoxText and SetBoxText (controls.h) serve both.
struct Form1Controls {
    QComboBox* Combo1 = nullptr;
    QPushButton* Command2 = nullptr;
    ListBoxControl* List1 = nullptr;
    QFrame* Frame3 = nullptr;
    QFrame* Frame2 = nullptr;
    QFrame* Frame1 = nullptr;
    LineControl* Line1 = nullptr;
    QLabel* Label6 = nullptr;
    PictureControl* Image1 = nullptr;
    QLabel* Label3 = nullptr;
    ShapeControl* Shape2 = nullptr;
    QLabel* Label2 = nullptr;
    PictureControl* Image2 = nullptr;
    QPushButton* Command1 = nullptr;
    std::array<QWidget*, kDetailBoxCount> Data1{};
    QLineEdit* txtCari = nullptr;
    std::array<QLabel*, kLabel1Count> Label1{};
    QLabel* Label7 = nullptr;
    QLabel* Label5 = nullptr;
    QPlainTextEdit* txtEtik = nullptr;
    QLabel* Label4 = nullptr;
    QTimer* Timer1 = nullptr;
};

// The main window. Start-up (Form_Load) runs inside the constructor, before the first show.
// The procedures only run a query and set controls; the queries live in queries/.
class Form1 : public QWidget {
    Q_OBJECT
  public:
    // An empty programFolder means the folder of the executable; the callbook is log.txt there.
    explicit Form1(const QString& programFolder = QString(),
                   const QString& sourceUrl = QString::fromLatin1(kCallbookSourceUrl),
                   QWidget* parent = nullptr);
    // As above, with the clock that start-up (the footer's year) and Timer1_Timer read.
    Form1(const QString& programFolder, const QString& sourceUrl, std::function<QDateTime()> clock,
          QWidget* parent = nullptr);
    ~Form1() override;

    const Form1Controls& Controls() const { return controls_; }
    QString CallbookFile() const;
    // The window's outer width in twips, as set by start-up.
    int WidthTwips() const { return outerWidthTwips_; }
    // The region collection, bytes as stored in the callbook.
    const std::vector<std::string>& Regions() const { return regions_; }
    // The menu form, or nullptr while none exists.
    Form2* ExistingMenuForm() const;
    // The clock that Timer1_Timer reads from now on; the system clock unless replaced.
    void SetClock(std::function<QDateTime()> clock);
    CallbookUpdater& Updater() { return updater_; }

    // Event procedures.
    void txtCari_Change();
    void txtCari_KeyDown(int keyCode, Qt::KeyboardModifiers shift);
    void Command1_Click();
    void Command2_Click();
    void Timer1_Timer();
    void Label6_MouseMove();
    void Label6_MouseUp(Qt::MouseButton button);
    void Form_MouseMove();
    void Frame1_MouseMove();
    void Frame2_MouseMove();
    void Form_Unload();

    // What the menu's "Callsign" and "Kode Etik" do: show that panel in place of the other.
    void ShowLookupPanel();
    void ShowCodeOfEthicsPanel();

    // Shows the download panel and starts fetching the callbook over the local one; returns
    // at once. When the transfer has ended the panel goes and the banner shows the installed
    // version (downloadEnded follows). Does nothing while a download is running.
    void UNDUH_DB();
    // Starts the transfer of sSourceUrl over sLocalFile; false when one is running already.
    // The transfer ends on the event loop, with DownloadEnded.
    bool DownloadFile(const QString& sSourceUrl, const QString& sLocalFile);

  signals:
    // A download started by UNDUH_DB has ended and the window shows its outcome.
    void downloadEnded(kalvera::DownloadOutcome outcome);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void CreateControls();
    // Centres the window, frame included as far as it is known, on its screen.
    void CentreOnScreen();
    void SetOuterWidthTwips(int twips);
    Form2& MenuForm();
    enum class MenuOpening { ByPointer, ByKeyboard };
    // Opens the menu under "Menu", as releasing the left button over it does.
    void PopUpMenu(MenuOpening how);

    void Form_Load();
    void LoadRegionList();
    void ShowDatabaseVersion();
    void LookupCallsign(const QString& key);
    void ListRegionMembers(const QByteArray& region);
    void ShowMissingCallbook();
    // At start-up: a log.txt that holds no member at all is named, not left to every lookup.
    void ShowDamagedCallbook();
    void ConnectUpdater();
    void DownloadEnded(const DownloadResult& result);
    void AskShrink(const ShrinkQuestion& question);
    // Closes the shrink question if it still stands.
    void WithdrawQuestion();
    // The search box's accessible description: the last lookup's result, or before the first
    // one the version banner, with the menu hint until the box first loses the focus.
    void DescribeSearchBox();

    std::filesystem::path programFolder_;
    QString sourceUrl_;
    Form1Controls controls_;
    int outerWidthTwips_ = 0;
    std::vector<std::string> regions_;
    // The banner found by start-up's pass over the file, until start-up shows it.
    std::optional<VersionBanner> startupBanner_;
    // Start-up read log.txt whole and found no member line in it.
    bool startupWithoutMembers_ = false;
    std::array<QString, kDayNames.size()> DayNames;
    std::array<QString, kMonthNames.size()> MonthNames;
    QString CurrentDayName;
    QString CurrentMonthName;
    std::function<QDateTime()> clock_;
    QPointer<Form2> menuForm_;
    CallbookUpdater updater_;
    QPointer<QMessageBox> question_;
    QString lastLookup_;
    bool menuHintPending_ = true;
    bool centred_ = false;
    bool awaitingFrame_ = false;
    bool unloaded_ = false;
};

}  // namespace kalvera
