#pragma once

#include <QApplication>
#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QLineEdit>
#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <QtTest>

#include "controls.h"
#include "form1.h"
#include "message_box.h"

namespace kalvera::testing {

// A program folder of its own, with or without a callbook in it.
class ProgramFolder {
  public:
    ProgramFolder() { QVERIFY(folder_.isValid()); }
    explicit ProgramFolder(const QByteArray& callbook) : ProgramFolder() {
        WriteCallbook(callbook);
    }

    QString Path() const { return folder_.path(); }
    QString CallbookPath() const { return folder_.filePath(QStringLiteral("log.txt")); }

    void WriteCallbook(const QByteArray& bytes) const {
        QFile file(CallbookPath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(bytes), bytes.size());
    }

    QByteArray ReadCallbook() const {
        QFile file(CallbookPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

  private:
    QTemporaryDir folder_;
};

// Records every message box while alive instead of showing it.
class RecordedBoxes {
  public:
    RecordedBoxes() {
        MessageBoxes::SetObserver([this](const MessageRequest& request) { boxes.append(request); });
    }
    ~RecordedBoxes() { MessageBoxes::SetObserver({}); }
    RecordedBoxes(const RecordedBoxes&) = delete;
    RecordedBoxes& operator=(const RecordedBoxes&) = delete;

    QList<MessageRequest> boxes;
};

inline QStringList DetailTexts(const Form1& form) {
    QStringList texts;
    for (const QWidget* box : form.Controls().Data1) {
        texts << BoxText(box);
    }
    return texts;
}

inline QColor StatusColour(const Form1& form) {
    return BoxBackground(form.Controls().Data1[6]);
}

// Types a suffix into the search box as a user would and presses Enter.
inline void SearchFor(Form1& form, const QString& suffix) {
    QLineEdit* box = form.Controls().txtCari;
    box->clear();
    QTest::keyClicks(box, suffix);
    QTest::keyClick(box, Qt::Key_Return);
}

// Far from any test run's date, so that the status does not depend on the day.
inline constexpr char kLongValid[] = "2099-12-31";
inline constexpr char kLongExpired[] = "2001-01-31";

}  // namespace kalvera::testing
