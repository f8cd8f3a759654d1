#include "store/table_room.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <algorithm>

#include "platform/paradox/header.h"

namespace store {

int LargerBlockSizeKiB(int blockSizeKiB) {
    for (int size : paradox::kBlockSizesKiB)
        if (size > std::max(blockSizeKiB, 1)) return size;
    return 0;
}

bool NearlyFull(std::size_t usedBlocks) {
    return usedBlocks * 10 >= paradox::Table::kMaxBlocks * 9;
}

QString TableRoomMessage(const std::string& tablePath, int blockSizeKiB, std::size_t used) {
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::DefaultNumberOptions);  // 65,535: thousands grouped
    const std::size_t percent = used * 100 / paradox::Table::kMaxBlocks;
    const QString name = QFileInfo(QString::fromStdString(tablePath)).completeBaseName();
    QString text = QStringLiteral(
                       "The %1 table is %2 % full: %3 of its %4 blocks of %5 KiB are "
                       "in use. ")
                       .arg(name.toLower())
                       .arg(percent)
                       .arg(c.toString(qulonglong(used)))
                       .arg(c.toString(qulonglong(paradox::Table::kMaxBlocks)))
                       .arg(blockSizeKiB);
    const int larger = LargerBlockSizeKiB(blockSizeKiB);
    if (larger == 0)
        return text + QStringLiteral("Its blocks are the largest the file format allows.");
    return text + QStringLiteral(
                      "Rebuild it into larger blocks before it fills: "
                      "pkeep-admin rebuild --block-size %1 (or File, Rebuild Files "
                      "with blocks of %1 KiB).")
                      .arg(larger);
}

QString TableRoomWarning(const paradox::Table& table) {
    if (!NearlyFull(table.usedBlocks())) return QString();
    return TableRoomMessage(table.path(), table.blockSizeKiB(), table.usedBlocks());
}

QString TableRoomWarning(const QString& dbPath) {
    QFile file(dbPath);
    if (!file.open(QIODevice::ReadOnly)) return QString();
    const QByteArray bytes = file.read(0x10000);  // a header is at most 0xFFFF bytes
    paradox::FileHeader header;
    try {
        // Tolerant: only the header is at hand, not the blocks it counts.
        header = paradox::parseHeader(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                      static_cast<std::size_t>(bytes.size()), dbPath.toStdString(),
                                      paradox::FileKind::Data, true);
    } catch (const std::exception&) {
        return QString();  // opening the table reports the damage
    }
    if (!NearlyFull(header.blocksInUse)) return QString();
    return TableRoomMessage(dbPath.toStdString(), header.blockCode, header.blocksInUse);
}

QString TableFullMessage(const paradox::ETableFull& full) {
    return TableRoomMessage(full.file(), full.blockSizeKiB(), paradox::Table::kMaxBlocks);
}

}  // namespace store
