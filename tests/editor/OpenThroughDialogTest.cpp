// The program keeps no state between runs: a run of the window that opens an
// image through the real file dialog leaves the configuration folder empty
// (the toolkit's dialog would otherwise keep its last folder and view there).

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include "rom/SpeciesLayout.h"
#include "tests/support/TestImage.h"

namespace {

QStringList EntriesBelow(const QString& folder) {
    QStringList found;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) found << it.next();
    return found;
}

TEST(OpenThroughDialogTest, LeavesTheConfigurationFolderEmpty) {
    const testsupport::TestImage image(testsupport::TestImage::HeaderByte(rom::GameVersion::Crystal));
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QString config = home.filePath(QStringLiteral("config"));
    ASSERT_TRUE(QDir().mkpath(config));

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home.filePath(QStringLiteral("cache")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess probe;
    probe.setProcessEnvironment(env);
    probe.setProcessChannelMode(QProcess::MergedChannels);
    probe.start(QStringLiteral(QUILLMERE_OPEN_THROUGH_DIALOG_PROBE), {QString::fromStdString(image.path())});
    ASSERT_TRUE(probe.waitForFinished(60000)) << "the run did not end";
    const QString output = QString::fromLocal8Bit(probe.readAll());
    ASSERT_EQ(probe.exitStatus(), QProcess::NormalExit) << output.toStdString();
    ASSERT_EQ(probe.exitCode(), 0) << "the image was not opened through the dialog: " << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("Kreblin Crystal Version"))) << output.toStdString();

    EXPECT_TRUE(EntriesBelow(config).isEmpty())
        << "the run wrote into the configuration folder: " << EntriesBelow(config).join(QStringLiteral(", ")).toStdString();
}

}  // namespace
