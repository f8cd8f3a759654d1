#pragma once
// Records every font the toolkit matches against the system's font list
// while it lives.  A font that is already loaded is not matched again, so an
// empty log shows that painting found every font in the toolkit's caches.
#include <QLoggingCategory>
#include <QStringList>
#include <QtGlobal>

class FontMatchLog {
public:
    FontMatchLog() {
        QLoggingCategory::setFilterRules(QStringLiteral("qt.text.font.match.debug=true"));
        previous_ = qInstallMessageHandler(&FontMatchLog::record);
        Lines().clear();
    }
    ~FontMatchLog() {
        qInstallMessageHandler(previous_);
        QLoggingCategory::setFilterRules(QString());
    }
    FontMatchLog(const FontMatchLog&) = delete;
    FontMatchLog& operator=(const FontMatchLog&) = delete;

    // The requested families, in the order they were matched.
    QStringList families() const { return Lines(); }

private:
    static QStringList& Lines() {
        static QStringList lines;
        return lines;
    }
    static void record(QtMsgType, const QMessageLogContext& context, const QString& message) {
        if (QLatin1String(context.category) != QLatin1String("qt.text.font.match")) return;
        const qsizetype at = message.indexOf(QStringLiteral("family: "));
        if (at < 0) return;
        const QString rest = message.mid(at + 8);
        Lines() << rest.left(rest.indexOf(QStringLiteral(" [")));
    }
    QtMessageHandler previous_ = nullptr;
};
