#include "pending_callbook.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <algorithm>
#include <filesystem>
#include <string_view>

#include "core/callbook_reader.h"
#include "core/callbook_record.h"

namespace kalvera {
namespace {

constexpr int kSuffixLength = 6;
constexpr char kSuffixCharacters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
constexpr int kAttempts = 16;

QString RandomSuffix() {
    QString suffix;
    for (int i = 0; i < kSuffixLength; ++i) {
        const auto pick = QRandomGenerator::global()->bounded(
            static_cast<quint32>(sizeof(kSuffixCharacters) - 1));
        suffix += QLatin1Char(kSuffixCharacters[pick]);
    }
    return suffix;
}

bool IsPendingSuffix(QStringView suffix) {
    if (suffix.size() != kSuffixLength) {
        return false;
    }
    // The characters RandomSuffix picks from, and no others (the terminating NUL left out).
    const std::string_view allowed(kSuffixCharacters, sizeof(kSuffixCharacters) - 1);
    return std::all_of(suffix.begin(), suffix.end(), [allowed](QChar c) {
        return c.unicode() < 0x80 && allowed.find(static_cast<char>(c.unicode())) != allowed.npos;
    });
}

std::filesystem::path ToPath(const QString& file) {
    return std::filesystem::path(file.toStdU16String()).make_preferred();
}

}  // namespace

PendingCallbook::PendingCallbook(QString callbookFile)
    : callbookFile_(std::move(callbookFile)), file_(ToPath(callbookFile_)) {}

PendingCallbook::~PendingCallbook() {
    Discard();
}

bool PendingCallbook::Open() {
    const QFileInfo callbook(callbookFile_);
    if (callbook.exists() && (!callbook.isFile() || !callbook.isWritable())) {
        problem_ = WriteProblem::NotWritable;
        error_ = QStringLiteral("%1 is not a writable file").arg(callbookFile_);
        return false;
    }
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const QString name = callbookFile_ + QLatin1String(kPendingInfix) + RandomSuffix();
        std::error_code error;
        switch (file_.Create(ToPath(name), error)) {
            case platform::HeldFile::Creation::Created:
                fileName_ = name;
                return true;
            case platform::HeldFile::Creation::NameTaken:
                break;
            case platform::HeldFile::Creation::Failed:
                fileName_ = name;
                Fail("creating", error);
                fileName_.clear();
                return false;
        }
    }
    problem_ = WriteProblem::NotWritable;
    error_ = QStringLiteral("no free name for a temporary file beside %1").arg(callbookFile_);
    return false;
}

bool PendingCallbook::Write(std::string_view bytes) {
    std::error_code error;
    return file_.Write(bytes, error) || Fail("writing", error);
}

bool PendingCallbook::Install() {
    if (installed_ || fileName_.isEmpty()) {
        return false;
    }
    std::error_code error;
    if (!file_.Sync(error)) {
        Fail("syncing", error);
        Discard();
        return false;
    }
    if (!file_.Replace(error)) {
        Fail("renaming", error);
        Discard();
        return false;
    }
    installed_ = true;
    return true;
}

void PendingCallbook::Discard() {
    if (installed_ || fileName_.isEmpty()) {
        return;
    }
    file_.Remove();
    fileName_.clear();
}

bool PendingCallbook::Fail(const char* step, const std::error_code& error) {
    problem_ = platform::IsDiskFull(error) ? WriteProblem::DiskFull : WriteProblem::NotWritable;
    error_ = QStringLiteral("%1 of %2 failed: %3")
                 .arg(QLatin1String(step), fileName_,
                      QString::fromLocal8Bit(platform::ErrorText(error)));
    return false;
}

int RemoveLeftovers(const QString& callbookFile) {
    const QFileInfo callbook(callbookFile);
    const QString prefix = callbook.fileName() + QLatin1String(kPendingInfix);
    const QDir folder(callbook.absolutePath());
    int removed = 0;
    const QStringList names =
        folder.entryList({prefix + QLatin1Char('*')},
                         QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        if (name.startsWith(prefix) && IsPendingSuffix(QStringView(name).mid(prefix.size()))) {
            removed += platform::RemoveIfUnheld(ToPath(folder.filePath(name))) ? 1 : 0;
        }
    }
    return removed;
}

std::uint64_t CountMembers(const QString& callbookFile) {
    std::uint64_t members = 0;
    ReadCallbook(ToPath(callbookFile), [&](std::string_view line) {
        members += IsMemberLine(line) ? 1 : 0;
        return false;
    });
    return members;
}

bool SyncFolder(const QString& folder) {
    return platform::SyncFolder(ToPath(folder));
}

}  // namespace kalvera
