// The main window's controls as designed, and the wiring of their events.

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <array>
#include <string>

#include "accessibility.h"
#include "controls.h"
#include "core/callbook_format.h"
#include "form1.h"
#include "queries/messages.h"
#include "queries/search_text.h"
#include "twips.h"

namespace kalvera {
namespace {

using K = ControlKind;

constexpr FontDesign kWindowFont{"Tahoma", 8.25, false};
constexpr FontDesign kTahoma675{"Tahoma", 6.75, false};
constexpr FontDesign kTahoma975{"Tahoma", 9.75, false};
constexpr FontDesign kTahoma975Bold{"Tahoma", 9.75, true};
constexpr FontDesign kTahoma12Bold{"Tahoma", 12, true};
constexpr FontDesign kTahoma2025Bold{"Tahoma", 20.25, true};
constexpr FontDesign kCourier975Bold{"Courier New", 9.75, true};

constexpr int kDarkGrey = 0x404040;
constexpr int kGrey = 0x808080;
constexpr int kWhite = 0xFFFFFF;
constexpr int kRed = 0xFF0000;
constexpr int kBlue = 0x0000FF;
constexpr int kLightRed = 0xFFC0C0;
constexpr int kLightGrey = 0xE0E0E0;
constexpr int kFooterGrey = 0xCBCDCC;

constexpr char kSampleSuffix[] = "ABC";
const std::string kSampleNotFound =
    NotFoundLine(std::string(kCallsignPrefix) + std::string(kSampleSuffix));

// Client area of the design, in twips. Start-up narrows the window (Form_Load).
constexpr int kDesignClientWidth = 9855;
constexpr int kDesignClientHeight = 6315;

// Per container, front to back; windows of their own (frames, boxes, buttons, lists) before
// what is drawn on the container's surface. The line runs from (-735, 960) to (6090, 960).
// Captions are read up to their NUL.
static_assert(kCallsignPrefix.data()[kCallsignPrefix.size()] == '\0');

// Made at start-up: the sample's not-found line is made as every other one.
const ControlDesign kForm1Controls[] = {
    // On the window: windows of their own.
    // Combo1: region list; filled at start-up but never shown (the listing is switched off)
    {.name = "Combo1",
     .kind = K::ComboBox,
     .left = 2655,
     .top = 1290,
     .width = 2505,
     .height = 315,
     .visible = false},
    // Command2: lists the region chosen in Combo1 into List1; never shown, so never clicked
    {.name = "Command2",
     .kind = K::Button,
     .caption = "Command2",
     .left = 2595,
     .top = 270,
     .width = 900,
     .height = 495,
     .visible = false},
    // List1: rows of the region listing; never shown, and right of the visible area
    {.name = "List1",
     .kind = K::ListBox,
     .left = 5745,
     .top = 3225,
     .width = 4890,
     .height = 1740,
     .font = kCourier975Bold,
     .visible = false},
    // Frame3: download panel; UNDUH_DB moves it over the lookup panel while a download runs
    {.name = "Frame3",
     .kind = K::Frame,
     .left = 6450,
     .top = 330,
     .width = 5220,
     .height = 615,
     .background = kLightRed,
     .visible = false},
    // Frame2: code-of-ethics panel; start-up moves it onto Frame1, "Kode Etik" shows it
    {.name = "Frame2",
     .kind = K::Frame,
     .left = 5550,
     .top = 1095,
     .width = 5220,
     .height = 4575,
     .background = kWhite,
     .visible = false},
    // Frame1: lookup panel
    {.name = "Frame1",
     .kind = K::Frame,
     .left = 90,
     .top = 1005,
     .width = 5220,
     .height = 4575,
     .background = kWhite},
    // On the window's surface.
    // Line1: rule under the banner
    {.name = "Line1",
     .kind = K::Line,
     .left = -735,
     .top = 960,
     .width = 6825,
     .height = 0,
     .foreground = kDarkGrey},
    // Label6: "Menu": opens the pop-up menu; red while the pointer is over it
    {.name = "Label6",
     .kind = K::Label,
     .caption = "Menu",
     .left = 4785,
     .top = 660,
     .width = 525,
     .height = 240,
     .font = kTahoma975Bold,
     .background = kLightGrey,
     .handCursor = true},
    // Image1: footer logo
    {.name = "Image1",
     .kind = K::Picture,
     .caption = ":/logo.jpg",
     .left = 180,
     .top = 5745,
     .width = 480,
     .height = 480},
    // Label3: footer notice, written at start-up
    {.name = "Label3",
     .kind = K::Label,
     .caption = "Label3",
     .left = 690,
     .top = 5850,
     .width = 2370,
     .height = 165,
     .font = kTahoma675,
     .foreground = kDarkGrey},
    // Shape2: footer band; start-up stretches it past both side edges
    {.name = "Shape2",
     .kind = K::Shape,
     .left = -60,
     .top = 5670,
     .width = 7260,
     .height = 735,
     .background = kFooterGrey},
    // Label2: clock line; deliberately right of the visible area, and its Timer1 never runs
    {.name = "Label2",
     .kind = K::Label,
     .caption = "Label2",
     .left = 5895,
     .top = 660,
     .width = 465,
     .height = 195},
    // Image2: banner; disabled, so the pointer over it counts as over the window
    {.name = "Image2",
     .kind = K::Picture,
     .caption = ":/banner.jpg",
     .left = 0,
     .top = 15,
     .width = 5460,
     .height = 930,
     .enabled = false},

    // The lookup panel.
    // Command1: "Cari": runs the lookup
    {.name = "Command1",
     .kind = K::Button,
     .container = "Frame1",
     .caption = "Cari",
     .left = 2025,
     .top = 225,
     .width = 675,
     .height = 405,
     .handCursor = true},
    // Data1(0): callsign box, Data1(kCallsign)
    {.name = "Data1_0",
     .kind = K::LockedTextBox,
     .container = "Frame1",
     .caption = "Text1",
     .left = 1065,
     .top = 705,
     .width = 3870,
     .height = 555,
     .font = kTahoma2025Bold},
    // Data1(1): name box, Data1(kName)
    {.name = "Data1_1",
     .kind = K::LockedTextBox,
     .container = "Frame1",
     .caption = "Text1",
     .left = 1065,
     .top = 1350,
     .width = 3870,
     .height = 360,
     .font = kTahoma975Bold},
    // Data1(2): address box, Data1(kAddress): wraps, never a scroll bar
    {.name = "Data1_2",
     .kind = K::LockedMemo,
     .container = "Frame1",
     .caption = "Text1",
     .left = 1065,
     .top = 1695,
     .width = 3870,
     .height = 960,
     .font = kTahoma975Bold},
    // Data1(3): regency or city box, Data1(kRegion)
    {.name = "Data1_3",
     .kind = K::LockedTextBox,
     .container = "Frame1",
     .caption = "Text1",
     .left = 1065,
     .top = 2670,
     .width = 3870,
     .height = 360,
     .font = kTahoma975Bold},
    // Data1(4): member number box, Data1(kMemberNumber)
    {.name = "Data1_4",
     .kind = K::LockedTextBox,
     .container = "Frame1",
     .caption = "Text1",
     .left = 1065,
     .top = 3060,
     .width = 3870,
     .height = 360,
     .font = kTahoma975Bold},
    // Data1(5): valid-until box, Data1(kValidUntil)
    {.name = "Data1_5",
     .kind = K::LockedTextBox,
     .container = "Frame1",
     .caption = "Text1",
     .left = 1065,
     .top = 3450,
     .width = 3870,
     .height = 360,
     .font = kTahoma975Bold},
    // Data1(6): status box, Data1(kStatus): its background is the status colour
    {.name = "Data1_6",
     .kind = K::LockedTextBox,
     .container = "Frame1",
     .caption = "Text1",
     .left = 1065,
     .top = 3840,
     .width = 3870,
     .height = 360,
     .font = kTahoma975Bold},
    // txtCari: search box for the suffix; shows the sample suffix at start
    {.name = "txtCari",
     .kind = K::TextBox,
     .container = "Frame1",
     .caption = kSampleSuffix,
     .left = 1065,
     .top = 225,
     .width = 945,
     .height = 405,
     .font = kTahoma12Bold,
     .foreground = kDarkGrey,
     .maxLength = static_cast<int>(kSearchBoxLength),
     .accessibleName = "Suffix callsign"},
    // Label1(7): prefix label, Label1(kPrefixLabel)
    {.name = "Label1_7",
     .kind = K::Label,
     .container = "Frame1",
     .caption = kCallsignPrefix.data(),
     .left = 225,
     .top = 270,
     .width = 570,
     .height = 285,
     .font = kTahoma12Bold,
     .foreground = kDarkGrey},
    // Label7: not-found line; start-up clears its sample text
    {.name = "Label7",
     .kind = K::Label,
     .container = "Frame1",
     .caption = kSampleNotFound.c_str(),
     .left = 2820,
     .top = 345,
     .width = 1890,
     .height = 195,
     .foreground = kRed},
    // Label1(0): caption of the callsign box
    {.name = "Label1_0",
     .kind = K::Label,
     .container = "Frame1",
     .caption = "Callsign",
     .left = 225,
     .top = 855,
     .width = 660,
     .height = 240,
     .font = kTahoma975,
     .foreground = kDarkGrey},
    // Label1(1): caption of the name box
    {.name = "Label1_1",
     .kind = K::Label,
     .container = "Frame1",
     .caption = "Nama",
     .left = 225,
     .top = 1365,
     .width = 495,
     .height = 240,
     .font = kTahoma975,
     .foreground = kDarkGrey},
    // Label1(2): caption of the address box
    {.name = "Label1_2",
     .kind = K::Label,
     .container = "Frame1",
     .caption = "Alamat",
     .left = 225,
     .top = 2055,
     .width = 600,
     .height = 240,
     .font = kTahoma975,
     .foreground = kDarkGrey},
    // Label1(3): caption of the regency or city box
    {.name = "Label1_3",
     .kind = K::Label,
     .container = "Frame1",
     .caption = "Kab/Kota",
     .left = 225,
     .top = 2730,
     .width = 765,
     .height = 240,
     .font = kTahoma975,
     .foreground = kDarkGrey},
    // Label1(4): caption of the member number box
    {.name = "Label1_4",
     .kind = K::Label,
     .container = "Frame1",
     .caption = "NIA",
     .left = 225,
     .top = 3120,
     .width = 300,
     .height = 240,
     .font = kTahoma975,
     .foreground = kDarkGrey},
    // Label1(5): caption of the valid-until box
    {.name = "Label1_5",
     .kind = K::Label,
     .container = "Frame1",
     .caption = "Berlaku",
     .left = 225,
     .top = 3510,
     .width = 630,
     .height = 240,
     .font = kTahoma975,
     .foreground = kDarkGrey},
    // Label1(6): caption of the status box
    {.name = "Label1_6",
     .kind = K::Label,
     .container = "Frame1",
     .caption = "Status",
     .left = 225,
     .top = 3900,
     .width = 540,
     .height = 240,
     .font = kTahoma975,
     .foreground = kDarkGrey},
    // Label5: version banner
    {.name = "Label5",
     .kind = K::Label,
     .container = "Frame1",
     .caption = "Database versi:",
     .left = 1065,
     .top = 4320,
     .width = 975,
     .height = 165,
     .font = kTahoma675,
     .foreground = kGrey},

    // The code-of-ethics panel and the download panel.
    // txtEtik: code-of-ethics text, written at start-up
    {.name = "txtEtik",
     .kind = K::LockedScrollMemo,
     .container = "Frame2",
     .caption = "Text1",
     .left = 90,
     .top = 195,
     .width = 5070,
     .height = 4260,
     .font = kTahoma975,
     .accessibleName = "Kode Etik"},
    // Label4: progress text of the download panel
    {.name = "Label4",
     .kind = K::Label,
     .container = "Frame3",
     .caption = "Label4",
     .left = 1155,
     .top = 210,
     .width = 465,
     .height = 195,
     .foreground = kBlue},
};

constexpr int kTimer1IntervalMs = 500;

template <typename T>
T* Find(const QHash<QString, QWidget*>& controls, const char* name) {
    auto* control = qobject_cast<T*>(controls.value(QString::fromUtf8(name)));
    Q_ASSERT(control);
    return control;
}

QIcon WindowIcon() {
    QIcon icon;
    for (const char* file : {":/icon_16.png", ":/icon_24.png", ":/icon_32.png", ":/icon_48.png"}) {
        icon.addFile(QString::fromUtf8(file));
    }
    return icon;
}

}  // namespace

void Form1::CreateControls() {
    setObjectName(QStringLiteral("Form1"));
    setFont(MakeFont(font(), kWindowFont));
    QPalette surface = palette();
    surface.setColor(QPalette::Window, Qt::white);
    setPalette(surface);
    setAutoFillBackground(true);
    setWindowIcon(WindowIcon());
    setMouseTracking(true);
    setFixedSize(TwipsToPixels(kDesignClientWidth), TwipsToPixels(kDesignClientHeight));

    const QHash<QString, QWidget*> made = BuildControls(this, kForm1Controls);
    Form1Controls& c = controls_;
    c.Combo1 = Find<QComboBox>(made, "Combo1");
    c.Command2 = Find<QPushButton>(made, "Command2");
    c.List1 = Find<ListBoxControl>(made, "List1");
    c.Frame3 = Find<QFrame>(made, "Frame3");
    c.Frame2 = Find<QFrame>(made, "Frame2");
    c.Frame1 = Find<QFrame>(made, "Frame1");
    c.Line1 = Find<LineControl>(made, "Line1");
    c.Label6 = Find<QLabel>(made, "Label6");
    c.Image1 = Find<PictureControl>(made, "Image1");
    c.Label3 = Find<QLabel>(made, "Label3");
    c.Shape2 = Find<ShapeControl>(made, "Shape2");
    c.Label2 = Find<QLabel>(made, "Label2");
    c.Image2 = Find<PictureControl>(made, "Image2");
    c.Command1 = Find<QPushButton>(made, "Command1");
    for (std::size_t i = 0; i < c.Data1.size(); ++i) {
        c.Data1[i] = made.value(QStringLiteral("Data1_%1").arg(i));
        Q_ASSERT(c.Data1[i]);
    }
    c.txtCari = Find<QLineEdit>(made, "txtCari");
    for (std::size_t i = 0; i < c.Label1.size(); ++i) {
        c.Label1[i] = qobject_cast<QLabel*>(made.value(QStringLiteral("Label1_%1").arg(i)));
        Q_ASSERT(c.Label1[i]);
    }
    c.Label7 = Find<QLabel>(made, "Label7");
    c.Label5 = Find<QLabel>(made, "Label5");
    c.txtEtik = Find<QPlainTextEdit>(made, "txtEtik");
    c.Label4 = Find<QLabel>(made, "Label4");

    // "Menu" and the clock line are drawn in the platform's button-text colour.
    const QColor buttonText = QApplication::palette().color(QPalette::ButtonText);
    for (QLabel* label : {c.Label6, c.Label2}) {
        SetTextColour(label, buttonText);
    }

    // Timer1 would tick the clock line Label2, but the clock is switched off in this design:
    // nothing ever starts the timer, and Label2 lies outside the visible area. Deliberate.
    c.Timer1 = new QTimer(this);
    c.Timer1->setObjectName(QStringLiteral("Timer1"));
    c.Timer1->setInterval(kTimer1IntervalMs);
    connect(c.Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);

    connect(c.txtCari, &QLineEdit::textChanged, this, &Form1::txtCari_Change);
    connect(c.Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(c.Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    c.txtCari->installEventFilter(this);
    c.txtEtik->installEventFilter(this);
    c.Label6->installEventFilter(this);
    c.Label6->setMouseTracking(true);
    for (QFrame* frame : {c.Frame1, c.Frame2}) {
        frame->installEventFilter(this);
        frame->setMouseTracking(true);
    }

    // Buttons do not take the focus from a click by default on every platform; here they do,
    // and the detail boxes come after the search box in reverse order.
    c.Command1->setFocusPolicy(Qt::StrongFocus);
    QWidget* previous = c.txtCari;
    for (auto box = c.Data1.rbegin(); box != c.Data1.rend(); ++box) {
        setTabOrder(previous, *box);
        previous = *box;
    }
    setTabOrder(previous, c.Command1);

    // Screen readers read each box with its caption, and the search box with the prefix.
    for (std::size_t i = 0; i < c.Data1.size(); ++i) {
        c.Label1[i]->setBuddy(c.Data1[i]);
    }
    c.Label1[kPrefixLabel]->setBuddy(c.txtCari);
    // The region listing is never shown; its thousands of items are no objects of their own.
    ShowAsOneObject(c.Combo1);
    ShowAsOneObject(c.List1);

    // "Menu" is a label, out of the Tab order; the keyboard opens its pop-up with F10 or Alt+M.
    c.Label6->setAccessibleDescription(QString::fromUtf8(kMenuHint));
    for (const QKeySequence& keys :
         {QKeySequence(Qt::Key_F10), QKeySequence(Qt::ALT | Qt::Key_M)}) {
        auto* shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, this,
                [this] { PopUpMenu(MenuOpening::ByKeyboard); });
    }

    c.txtCari->setFocus();
}

}  // namespace kalvera
