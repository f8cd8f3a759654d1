// The installed program: an install into a temporary prefix (DESTDIR), moved
// elsewhere to prove it relocatable, its programs run from another folder on
// a fresh collection, its desktop files validated and its manuals checked
// against the programs' --help; and the Debian package checked with lintian.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include "platform/system/instance_channel.h"
#include "tests/support/temp_dir.h"

namespace {

struct Result {
    int status = -1;
    QString out, err;
};

Result RunProgram(const QString& program, const QStringList& args,
                  const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
                  const QString& folder = QString()) {
    QProcess process;
    process.setProcessEnvironment(env);
    if (!folder.isEmpty()) process.setWorkingDirectory(folder);
    process.start(program, args);
    process.waitForFinished(150000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

QString Text(const Result& result) { return result.out + result.err; }

// The commands pkeep-admin lists in its overview.
QStringList AdminCommands(const QString& admin) {
    QStringList names;
    static const QRegularExpression line(QStringLiteral("^  ([a-z][a-z0-9-]*)"),
                                         QRegularExpression::MultilineOption);
    const QString overview = RunProgram(admin, {"--help"}).out;
    const QString commands = overview.mid(overview.indexOf("Commands:"));
    for (auto match = line.globalMatch(commands); match.hasNext();)
        names << match.next().captured(1);
    return names;
}

// The long options a text names: "--name" in plain text, "\-\-name" in roff.
QStringList Options(QString text) {
    text.replace(QStringLiteral("\\-"), QStringLiteral("-"));
    QStringList options;
    static const QRegularExpression option(QStringLiteral("--[a-z][a-z-]*"));
    for (auto match = option.globalMatch(text); match.hasNext();)
        options << match.next().captured(0);
    options.removeDuplicates();
    options.sort();
    return options;
}

class InstallTest : public ::testing::Test {
protected:
    void SetUp() override {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DESTDIR", dir.path() + "/stage");
        const Result install = RunProgram(
            CMAKE_COMMAND_PATH, {"--install", PKEEP_BUILD_DIR, "--prefix", "/opt/panel-keep"}, env);
        ASSERT_EQ(install.status, 0) << Text(install).toStdString();
        // Moved away from its prefix, the install must still find its parts.
        ASSERT_TRUE(QDir().rename(dir.path() + "/stage/opt/panel-keep", root));
        ASSERT_TRUE(QDir().mkpath(elsewhere));
    }

    // The installed programs' environment: nothing from the build tree.
    QProcessEnvironment Environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("LD_LIBRARY_PATH");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("PKEEP_DIR", collection);
        env.insert("XDG_CONFIG_HOME", dir.path() + "/config");
        env.insert("PATH", root + "/bin:" + env.value("PATH"));
        return env;
    }
    Result Installed(const QString& program, const QStringList& args) const {
        return RunProgram(root + "/bin/" + program, args, Environment(), elsewhere);
    }
    QString Unzipped(const QString& path) const {
        return RunProgram("gzip", {"-dc", root + path}).out;
    }

    TestDir dir;
    const QString root = dir.path() + "/moved";
    const QString elsewhere = dir.path() + "/elsewhere";
    const QString collection = dir.path() + "/collection";
};

}  // namespace

TEST_F(InstallTest, InstalledProgramsWorkOnAFreshCollectionFromAnotherFolder) {
    Result result = Installed("pkeep-admin", {"init"});
    ASSERT_EQ(result.status, 0) << Text(result).toStdString();
    EXPECT_TRUE(result.out.contains(collection));
    result = Installed("pkeep-admin", {"demo", "--series", "3", "--books", "12"});
    ASSERT_EQ(result.status, 0) << Text(result).toStdString();
    // The rebuild loads the table utility library the install carries.
    result = Installed("pkeep-admin", {"rebuild"});
    EXPECT_EQ(result.status, 0) << Text(result).toStdString();
    result = Installed("pkeep-admin", {"export", dir.path() + "/csv"});
    EXPECT_EQ(result.status, 0) << Text(result).toStdString();
    EXPECT_TRUE(QFile::exists(dir.path() + "/csv/books.csv"));

    // The program comes up on that collection: a second copy finds its frame.
    QProcess pkeep;
    pkeep.setProcessEnvironment(Environment());
    pkeep.setWorkingDirectory(elsewhere);
    pkeep.start(root + "/bin/pkeep", {});
    ASSERT_TRUE(pkeep.waitForStarted(5000));
    EXPECT_TRUE(QTest::qWaitFor([] { return QFile::exists(InstanceChannelPath("pkeep")); }, 20000));
    EXPECT_EQ(Installed("pkeep", {}).status, 0);
    EXPECT_EQ(pkeep.state(), QProcess::Running) << pkeep.readAllStandardError().toStdString();
    pkeep.terminate();
    pkeep.waitForFinished(5000);
    EXPECT_TRUE(QFile::exists(root + "/share/panel-keep/help/Panlkeep.hlp"));

    // Without the installed library the rebuild fails: nothing else served it.
    ASSERT_TRUE(QFile::remove(root + "/lib/panel-keep/libTUTIL32.so"));
    result = Installed("pkeep-admin", {"rebuild"});
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(result.err.contains("Unable to Load TUTIL32")) << result.err.toStdString();
}

TEST_F(InstallTest, DesktopEntryMetainfoAndIconsValidate) {
    const QString desktop = root + "/share/applications/org.panelkeep.PanelKeep.desktop";
    Result result = RunProgram("desktop-file-validate", {desktop});
    EXPECT_EQ(result.status, 0) << Text(result).toStdString();
    EXPECT_EQ(Text(result), "");
    result = RunProgram(
        "appstreamcli",
        {"validate", "--no-net", root + "/share/metainfo/org.panelkeep.PanelKeep.metainfo.xml"});
    EXPECT_EQ(result.status, 0) << Text(result).toStdString();

    QFile entry(desktop);
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(entry.readAll());
    EXPECT_TRUE(text.contains("\nExec=pkeep\n"));
    EXPECT_TRUE(text.contains("\nIcon=panel-keep\n"));
    EXPECT_TRUE(QFile::exists(root + "/share/icons/hicolor/scalable/apps/panel-keep.svg"));
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QImage icon(
            root + QStringLiteral("/share/icons/hicolor/%1x%1/apps/panel-keep.png").arg(size));
        EXPECT_EQ(icon.size(), QSize(size, size)) << size;
    }
}

TEST_F(InstallTest, ManualsAndCompletionFollowThePrograms) {
    const QString adminPage = Unzipped("/share/man/man1/pkeep-admin.1.gz");
    const QStringList commands = AdminCommands(root + "/bin/pkeep-admin");
    ASSERT_GE(commands.size(), 5) << commands.join(' ').toStdString();
    for (const QString& command : commands) {
        EXPECT_TRUE(adminPage.contains("\\fB" + command + "\\fR")) << command.toStdString();
        const QString usage = Installed("pkeep-admin", {command, "--help"}).out.section('\n', 0, 0);
        for (const QString& option : Options(usage))
            EXPECT_TRUE(Options(adminPage).contains(option)) << option.toStdString();
    }

    // pkeep's page describes exactly the options its --help names.
    const QString help = Installed("pkeep", {"--help"}).out;
    const QString page = Unzipped("/share/man/man1/pkeep.1.gz");
    EXPECT_EQ(Options(page.section(".SH OPTIONS", 1).section(".SH", 0, 0)),
              Options(help.section("Options:", 1).section("\n\n", 0, 0)));
    for (const char* variable : {"PKEEP_DIR", "XDG_CONFIG_HOME"}) {
        EXPECT_TRUE(help.contains(variable)) << variable;
        EXPECT_TRUE(page.contains(variable)) << variable;
    }

    // Completion asks the installed program for its commands and options.
    const QString script = root + "/share/bash-completion/completions/pkeep-admin";
    auto complete = [&](const QString& words) {
        const QString line =
            QStringLiteral(
                "source '%1'; COMP_WORDS=(%2); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); "
                "_pkeep_admin pkeep-admin; echo \"${COMPREPLY[*]}\"")
                .arg(script, words);
        return RunProgram("bash", {"-c", line}, Environment(), elsewhere).out.trimmed();
    };
    EXPECT_EQ(complete("pkeep-admin de"), "demo");
    EXPECT_EQ(complete("pkeep-admin --dir /tmp demo --se"), "--series --seed");
}

TEST(PackageTest, DebianPackageHasDerivedDependenciesAndPassesLintian) {
    TestDir dir;
    Result result = RunProgram(CPACK_COMMAND_PATH, {"-G", "DEB", "-B", dir.path(), "--config",
                                                    PKEEP_BUILD_DIR "/CPackConfig.cmake"});
    ASSERT_EQ(result.status, 0) << Text(result).toStdString();
    const QStringList packages = QDir(dir.path()).entryList({"panel-keep_*.deb"});
    ASSERT_EQ(packages.size(), 1);
    const QString package = dir.path() + "/" + packages[0];

    const QString depends = RunProgram("dpkg-deb", {"-f", package, "Depends"}).out;
    for (const char* library :
         {"libc6 (", "libqt6widgets6 (", "libqt6printsupport6 (", "libstdc++6 ("})
        EXPECT_TRUE(depends.contains(library)) << library << " in " << depends.toStdString();
    const QString contents = RunProgram("dpkg-deb", {"-c", package}).out;
    for (const char* file :
         {"./usr/bin/pkeep\n", "./usr/bin/pkeep-admin\n", "/panel-keep/libTUTIL32.so\n",
          "./usr/share/doc/panel-keep/copyright\n", "./usr/share/man/man1/pkeep.1.gz\n"})
        EXPECT_TRUE(contents.contains(file)) << file;

    result = RunProgram("lintian", {"--fail-on", "error", package});
    EXPECT_EQ(result.status, 0) << Text(result).toStdString();
    EXPECT_FALSE(result.out.contains("\nE: ") || result.out.startsWith("E: "))
        << result.out.toStdString();
}
