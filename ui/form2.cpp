#include "form2.h"

#include <QAction>
#include <QMenu>
#include <array>

#include "twips.h"

namespace kalvera {
namespace {

struct MenuItemDesign {
    const char* name;
    const char* caption;  // "-": a separator
};

// The menu tree: the root and its items, top to bottom.
constexpr char kRootName[] = "mMenu";
constexpr char kRootCaption[] = "Menu";
constexpr std::array<MenuItemDesign, 5> kMenuItems = {{
    {"mCallsign", "Callsign"},
    {"mKode", "Kode Etik"},
    {"mSekretariat", "Sekretariat"},
    {"sep1", "-"},
    {"mUnduh", "Unduh Database"},
}};

// Client area of the design, in twips.
constexpr int kClientWidthTwips = 2295;
constexpr int kClientHeightTwips = 300;

}  // namespace

Form2::Form2(QWidget* owner) : QWidget(owner, Qt::Window) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Form2"));
    resize(TwipsToPixels(kClientWidthTwips), TwipsToPixels(kClientHeightTwips));

    mMenu = new QMenu(QString::fromUtf8(kRootCaption), this);
    mMenu->setObjectName(QString::fromUtf8(kRootName));
    for (const MenuItemDesign& item : kMenuItems) {
        const QString caption = QString::fromUtf8(item.caption);
        QAction* action =
            caption == QLatin1String("-") ? mMenu->addSeparator() : mMenu->addAction(caption);
        action->setObjectName(QString::fromUtf8(item.name));
    }
    mCallsign = mMenu->findChild<QAction*>(QStringLiteral("mCallsign"));
    mKode = mMenu->findChild<QAction*>(QStringLiteral("mKode"));
    mSekretariat = mMenu->findChild<QAction*>(QStringLiteral("mSekretariat"));
    sep1 = mMenu->findChild<QAction*>(QStringLiteral("sep1"));
    mUnduh = mMenu->findChild<QAction*>(QStringLiteral("mUnduh"));

    // "Sekretariat" deliberately has no handler: choosing it only closes the pop-up.
    connect(mCallsign, &QAction::triggered, this, &Form2::mCallsign_Click);
    connect(mKode, &QAction::triggered, this, &Form2::mKode_Click);
    connect(mUnduh, &QAction::triggered, this, &Form2::mUnduh_Click);
}

void Form2::PopUp(const QPoint& globalPosition, bool onFirstItem) {
    mMenu->setActiveAction(onFirstItem ? mCallsign : nullptr);
    mMenu->exec(globalPosition);
}

void Form2::mCallsign_Click() {
    emit LookupPanelChosen();
}

void Form2::mKode_Click() {
    emit CodeOfEthicsPanelChosen();
}

void Form2::mUnduh_Click() {
    emit DownloadChosen();
}

void Form2::Form_Unload() {
    deleteLater();
}

}  // namespace kalvera
