#include "import/zip_archive.h"

#include <zip.h>

#include <QFile>

#include "import/import_error.h"
#include "import/limits.h"

namespace import {

namespace {

QString ZipErrorText(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    const QString text = QString::fromUtf8(zip_error_strerror(&error));
    zip_error_fini(&error);
    return text;
}

// One entry as a sequential device.  The archive stays open while it lives.
class ZipEntryDevice : public QIODevice {
public:
    ZipEntryDevice(std::shared_ptr<zip> archive, zip_file_t* file, qint64 packedSize)
        : archive_(std::move(archive)), file_(file), packedSize_(packedSize) {
        open(QIODevice::ReadOnly);
    }
    ~ZipEntryDevice() override { zip_fclose(file_); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        if (failed_) return -1;
        const zip_int64_t n = zip_fread(file_, data, static_cast<zip_uint64_t>(maxSize));
        if (n < 0) return Fail(QString::fromUtf8(zip_file_strerror(file_)));
        unpacked_ += n;
        if (unpacked_ > kMaxUnpackedBytes)
            return Fail(
                QStringLiteral("it unpacks to more than %1 MiB").arg(kMaxUnpackedBytes >> 20));
        if (unpacked_ > kRatioCheckFrom && unpacked_ > kMaxPackRatio * qMax<qint64>(packedSize_, 1))
            return Fail(QStringLiteral("it unpacks to more than %1 times its packed size "
                                       "(a zip bomb?)")
                            .arg(kMaxPackRatio));
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    qint64 Fail(const QString& reason) {
        failed_ = true;
        setErrorString(reason);
        return -1;
    }

    std::shared_ptr<zip> archive_;
    zip_file_t* file_;
    qint64 packedSize_;
    qint64 unpacked_ = 0;
    bool failed_ = false;
};

}  // namespace

ZipArchive::ZipArchive(const QString& path) : path_(path) {
    int code = 0;
    zip_t* archive = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &code);
    if (!archive)
        throw EImportError(QStringLiteral("%1: not a readable zip archive (%2)")
                               .arg(path, ZipErrorText(code))
                               .toStdString());
    archive_.reset(archive, [](zip_t* a) { zip_discard(a); });
}

std::optional<qint64> ZipArchive::Find(const QString& name) const {
    const zip_int64_t index =
        zip_name_locate(archive_.get(), name.toUtf8().constData(), ZIP_FL_NOCASE);
    if (index < 0) return std::nullopt;
    return index;
}

std::unique_ptr<QIODevice> ZipArchive::Open(qint64 index) const {
    zip_stat_t stat;
    zip_stat_init(&stat);
    const auto at = static_cast<zip_uint64_t>(index);
    zip_file_t* file = zip_fopen_index(archive_.get(), at, 0);
    if (!file || zip_stat_index(archive_.get(), at, 0, &stat) != 0) {
        const QString reason = QString::fromUtf8(zip_strerror(archive_.get()));
        if (file) zip_fclose(file);
        throw EImportError(
            QStringLiteral("%1: cannot open %2 in the archive (%3)")
                .arg(path_, QString::fromUtf8(zip_get_name(archive_.get(), at, 0)), reason)
                .toStdString());
    }
    const qint64 packed = (stat.valid & ZIP_STAT_COMP_SIZE) ? qint64(stat.comp_size) : 0;
    return std::make_unique<ZipEntryDevice>(archive_, file, packed);
}

bool LooksLikeZip(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(4) == QByteArray("PK\x03\x04", 4);
}

}  // namespace import
