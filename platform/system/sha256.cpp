#include "platform/system/sha256.h"

#include <openssl/evp.h>

#include <QFile>

#include "platform/base/exception.h"

struct TSha256::Context {
    EVP_MD_CTX* md = EVP_MD_CTX_new();
    ~Context() { EVP_MD_CTX_free(md); }
};

TSha256::TSha256() : context_(std::make_unique<Context>()) {
    if (!context_->md || EVP_DigestInit_ex(context_->md, EVP_sha256(), nullptr) != 1)
        throw Exception("The SHA-256 hash is not available");
}

TSha256::~TSha256() = default;

void TSha256::add(const char* data, qint64 n) {
    EVP_DigestUpdate(context_->md, data, static_cast<size_t>(n));
}

QByteArray TSha256::result() {
    QByteArray out(EVP_MAX_MD_SIZE, Qt::Uninitialized);
    unsigned int size = 0;
    EVP_DigestFinal_ex(context_->md, reinterpret_cast<unsigned char*>(out.data()), &size);
    out.resize(static_cast<qsizetype>(size));
    return out;
}

QByteArray TSha256::OfFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(
            QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()).toStdString());
    TSha256 hash;
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (qint64 n; (n = file.read(buffer.data(), buffer.size())) > 0;)
        hash.add(buffer.constData(), n);
    return hash.result();
}
