// True-size printing through a private cupsd (loopback, its own folder) with the cups-pdf queue: the
// printed documents, the first-print dialog, the default printer, and the preview window.
#include "merged_tiff.h"
#include "qx/desktop/picture_printing.h"
#include "qx/imaging/encoders.h"
#include "qx/imaging/picture.h"
#include "qx/interface/ui_host.h"
#include "support/test_support.h"

#include "imaging/external_tools.h"
#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QMap>
#include <QPrintPreviewWidget>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QToolBar>
#include <csignal>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

using namespace qx::desktop;

namespace qx::test {
namespace {

// A cupsd of the test's own: configuration, spool and logs in a fresh folder, listening on a free
// loopback port, with the cups-pdf queue QX_PDF as its default. Jobs' documents are kept in the spool.
class PrivateCups {
public:
    bool start() {
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost))
            return fail("no free loopback port");
        m_port = probe.serverPort();
        probe.close();
        for (const char* sub : {"spool", "spool/tmp", "cache", "state", "log", "ppd"})
            QDir().mkpath(m_root.file(QString::fromLatin1(sub)));
        // The scheduler's filters run as lp and must reach the spool.
        ::chmod(QFile::encodeName(m_root.path()).constData(), 0755);
        const QByteArray root = m_root.path().toUtf8();
        writeAll(m_root.file(QStringLiteral("cupsd.conf")),
                 "Listen 127.0.0.1:" + QByteArray::number(m_port) +
                     "\nLogLevel warn\nWebInterface No\nBrowsing No\nDefaultAuthType None\n"
                     "PreserveJobFiles Yes\nPreserveJobHistory Yes\n"
                     "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n");
        writeAll(m_root.file(QStringLiteral("cups-files.conf")),
                 "RequestRoot " + root + "spool\nTempDir " + root + "spool/tmp\nCacheDir " + root +
                     "cache\nStateDir " + root + "state\nErrorLog " + root + "log/error_log\nAccessLog " +
                     root + "log/access_log\nPageLog " + root +
                     "log/page_log\nServerBin /usr/lib/cups\nDataDir /usr/share/cups\n");
        if (!QFileInfo::exists(QStringLiteral("/usr/sbin/cupsd")) ||
            !QFileInfo::exists(QStringLiteral("/usr/lib/cups/backend/cups-pdf")))
            return fail("cupsd or the cups-pdf backend is not installed");
        m_cupsd.setProgram(QStringLiteral("/usr/sbin/cupsd"));
        m_cupsd.setArguments({QStringLiteral("-f"), QStringLiteral("-c"),
                              m_root.file(QStringLiteral("cupsd.conf")), QStringLiteral("-s"),
                              m_root.file(QStringLiteral("cups-files.conf"))});
        m_cupsd.setProcessChannelMode(QProcess::MergedChannels);
        m_cupsd.start();
        if (!m_cupsd.waitForStarted(10000))
            return fail("cupsd did not start");
        bool up = false;
        for (int i = 0; i < 200 && !up; ++i) {
            QTcpSocket s;
            s.connectToHost(QHostAddress::LocalHost, m_port);
            up = s.waitForConnected(100);
            if (!up) {
                if (m_cupsd.state() == QProcess::NotRunning)
                    return fail("cupsd ended: " + m_cupsd.readAll().toStdString() +
                                readAll(m_root.file(QStringLiteral("log/error_log"))).toStdString());
                QThread::msleep(50);
            }
        }
        if (!up)
            return fail("cupsd does not answer");
        qputenv("CUPS_SERVER", server().toUtf8());
        const ToolRun add = lpadmin({QStringLiteral("-p"), QStringLiteral("QX_PDF"), QStringLiteral("-E"),
                                     QStringLiteral("-v"), QStringLiteral("cups-pdf:/"), QStringLiteral("-P"),
                                     QStringLiteral("/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd")});
        if (add.exitCode != 0)
            return fail("lpadmin: " + add.all().toStdString());
        return lpadmin({QStringLiteral("-d"), QStringLiteral("QX_PDF")}).exitCode == 0 || fail("no default");
    }

    ~PrivateCups() {
        if (m_cupsd.state() != QProcess::NotRunning) {
            m_cupsd.terminate();
            if (!m_cupsd.waitForFinished(10000))
                m_cupsd.kill();
            m_cupsd.waitForFinished(5000);
        }
    }

    QString server() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }
    std::string error() const { return m_error; }
    ToolRun lpadmin(QStringList args) const {
        args.prepend(server());
        args.prepend(QStringLiteral("-h"));
        return runTool(QStringLiteral("lpadmin"), args);
    }

    // Waits until every job is done; the completed jobs' ids, in order.
    QStringList completedJobs() const {
        for (int i = 0; i < 600; ++i) {
            if (runTool(QStringLiteral("lpstat"), {QStringLiteral("-h"), server(), QStringLiteral("-o")})
                    .all()
                    .trimmed()
                    .isEmpty())
                break;
            QThread::msleep(50);
        }
        QStringList ids;
        const QString out =
            runTool(QStringLiteral("lpstat"), {QStringLiteral("-h"), server(), QStringLiteral("-W"),
                                               QStringLiteral("completed"), QStringLiteral("-o")})
                .all();
        for (const QString& line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            ids << line.section(QLatin1Char(' '), 0, 0);
        std::sort(ids.begin(), ids.end(), [](const QString& a, const QString& b) {
            return a.section(QLatin1Char('-'), -1).toInt() < b.section(QLatin1Char('-'), -1).toInt();
        });
        return ids;
    }
    // The document job `id` ("QX_PDF-3") printed, as Qt handed it to the queue.
    QString document(const QString& id) const {
        return m_root.file(QStringLiteral("spool/d%1-001")
                               .arg(id.section(QLatin1Char('-'), -1).toInt(), 5, 10, QLatin1Char('0')));
    }
    // The name the job was given: Qt hands the queue the document's title as the job's name.
    bool jobNamed(const QString& id, const QString& name) const {
        const ToolRun info = runTool(QStringLiteral("pdfinfo"), {document(id)});
        return info.all().contains(QRegularExpression(
            QStringLiteral("Title:\\s+") + QRegularExpression::escape(name) + QStringLiteral("\\n")));
    }

private:
    bool fail(const std::string& why) {
        m_error = why;
        return false;
    }
    Folder m_root;
    quint16 m_port = 0;
    QProcess m_cupsd;
    std::string m_error;
};

imaging::Picture gradient(int width, int height, double dpi) {
    imaging::Picture pic;
    pic.width = width;
    pic.height = height;
    pic.stride = ((width * 3 + 3) / 4) * 4;
    pic.pixels.resize(static_cast<size_t>(pic.stride) * height);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = pic.pixels.data() + static_cast<size_t>(y) * pic.stride;
        for (int x = 0; x < width; ++x) {
            row[x * 3] = static_cast<uint8_t>(x * 255 / width);
            row[x * 3 + 1] = static_cast<uint8_t>(y * 255 / height);
            row[x * 3 + 2] = static_cast<uint8_t>((x / 64 + y / 64) % 2 ? 40 : 220);
        }
    }
    pic.dpiX = pic.dpiY = dpi;
    return pic;
}

class DesktopPrinting : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        QCoreApplication::setApplicationName(QStringLiteral("QX_Camera"));
        s_cups = new PrivateCups;
        s_started = s_cups->start();
    }
    static void TearDownTestSuite() {
        delete s_cups;
        s_cups = nullptr;
    }
    void SetUp() override {
        if (!s_started)
            GTEST_SKIP() << "no private cupsd could be started: " << s_cups->error();
        m_before = s_cups->completedJobs().size();
    }

    QString picture(const QString& name, int w, int h, double dpi) {
        const QString path = m_folder.file(name);
        EXPECT_TRUE(name.endsWith(QLatin1String(".bmp")) ? imaging::saveBmp(gradient(w, h, dpi), path)
                                                         : imaging::saveJpeg(gradient(w, h, dpi), path, 85));
        return path;
    }
    QStringList newJobs() const { return s_cups->completedJobs().mid(m_before); }
    void answerPrinter() {
        m_ui.queueAnswer(QStringLiteral("print"),
                         QVariantMap{{QStringLiteral("printer"), QStringLiteral("QX_PDF")}});
    }

    // pdfimages -list of the printed document: width, height, x-ppi, y-ppi of its one image.
    QStringList imageOf(const QString& pdf) {
        const QStringList lines = runTool(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf})
                                      .all()
                                      .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        EXPECT_EQ(lines.size(), 3) << lines.join('\n').toStdString();
        if (lines.size() < 3)
            return {};
        const QStringList f = lines[2].simplified().split(QLatin1Char(' '));
        return {f[3], f[4], f[12], f[13]};
    }
    // "page: width x height" of every image of the printed document, in page order.
    QStringList pageImages(const QString& pdf) {
        QStringList found;
        const QStringList lines = runTool(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf})
                                      .all()
                                      .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (const QString& line : lines.mid(2)) {
            const QStringList f = line.simplified().split(QLatin1Char(' '));
            if (f.size() > 4)
                found << QStringLiteral("%1: %2 x %3").arg(f[0], f[3], f[4]);
        }
        return found;
    }
    QString pageSize(const QString& pdf) {
        const QRegularExpression size(QStringLiteral("Page size:\\s+([0-9.]+ x [0-9.]+) pts"));
        return size.match(runTool(QStringLiteral("pdfinfo"), {pdf}).all()).captured(1);
    }

    static PrivateCups* s_cups;
    static bool s_started;
    qsizetype m_before = 0;
    Folder m_folder;
    ScriptedUiHost m_ui;
    QWidget m_owner;
    PicturePrinting m_printing{m_ui, &m_owner};
};
PrivateCups* DesktopPrinting::s_cups = nullptr;
bool DesktopPrinting::s_started = false;

TEST_F(DesktopPrinting, AnA4PictureAt300DpiFillsTheSheet) {
    answerPrinter();
    ASSERT_TRUE(m_printing.printDirect(picture(QStringLiteral("a4.jpg"), 2480, 3508, 300)));
    EXPECT_FALSE(m_printing.firstPrint());
    const QStringList jobs = newJobs();
    ASSERT_EQ(jobs.size(), 1);
    const QString pdf = s_cups->document(jobs[0]);
    EXPECT_EQ(pageSize(pdf), QStringLiteral("595 x 842")) << pdf.toStdString();
    // 2480 x 3508 pixels over 210 x 297 mm: 300 pixels per inch on the sheet.
    EXPECT_EQ(imageOf(pdf), QStringList({QStringLiteral("2480"), QStringLiteral("3508"),
                                         QStringLiteral("300"), QStringLiteral("300")}));
    EXPECT_TRUE(s_cups->jobNamed(jobs[0], QStringLiteral("QX_Camera")));
}

TEST_F(DesktopPrinting, AScreenPictureIsPrintedAtItsTrueSizeCentredAndCut) {
    answerPrinter();
    ASSERT_TRUE(m_printing.printDirect(picture(QStringLiteral("square.jpg"), 1000, 1000, 96)));
    const QStringList jobs = newJobs();
    ASSERT_EQ(jobs.size(), 1);
    const QString pdf = s_cups->document(jobs[0]);
    // 1000 pixels at 96 per inch: 750 points, wider than the 595 of the sheet; not reduced.
    EXPECT_EQ(imageOf(pdf), QStringList({QStringLiteral("1000"), QStringLiteral("1000"), QStringLiteral("96"),
                                         QStringLiteral("96")}));
}

TEST_F(DesktopPrinting, APictureWithoutResolutionIsTakenAt96Dpi) {
    answerPrinter();
    ASSERT_TRUE(m_printing.printDirect(picture(QStringLiteral("nodpi.bmp"), 480, 480, 0)));
    const QStringList jobs = newJobs();
    ASSERT_EQ(jobs.size(), 1);
    EXPECT_EQ(imageOf(s_cups->document(jobs[0])).mid(2),
              QStringList({QStringLiteral("96"), QStringLiteral("96")}));
}

TEST_F(DesktopPrinting, ABatchAsksOnceAndSendsAJobPerPicture) {
    answerPrinter();
    answerPrinter(); // a second answer that must stay unused
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(m_printing.printDirect(picture(QStringLiteral("p%1.jpg").arg(i), 200, 300, 150)));
    EXPECT_EQ(m_ui.askedKinds(), QStringList{QStringLiteral("print")});
    EXPECT_EQ(m_ui.pendingAnswers(QStringLiteral("print")), 1);
    const QStringList jobs = newJobs();
    ASSERT_EQ(jobs.size(), 3);
    for (const QString& job : jobs)
        EXPECT_TRUE(s_cups->jobNamed(job, QStringLiteral("QX_Camera"))) << job.toStdString();
}

TEST_F(DesktopPrinting, ACancelledDialogPrintsNothingAndAsksAgainForTheNextPicture) {
    const QString p = picture(QStringLiteral("p.jpg"), 200, 300, 150);
    EXPECT_FALSE(m_printing.printDirect(p)); // nothing queued: Cancel
    EXPECT_TRUE(m_printing.firstPrint());
    answerPrinter();
    EXPECT_TRUE(m_printing.printDirect(p));
    EXPECT_EQ(m_ui.askedKinds(), QStringList({QStringLiteral("print"), QStringLiteral("print")}));
    EXPECT_EQ(newJobs().size(), 1);
}

TEST_F(DesktopPrinting, WithoutADefaultPrinterNothingIsPrinted) {
    answerPrinter();
    const QString p = picture(QStringLiteral("p.jpg"), 200, 300, 150);
    ASSERT_TRUE(m_printing.printDirect(p));
    // A queue made the default and taken away leaves the scheduler without a default.
    ASSERT_EQ(s_cups
                  ->lpadmin({QStringLiteral("-p"), QStringLiteral("GONE"), QStringLiteral("-E"),
                             QStringLiteral("-v"), QStringLiteral("cups-pdf:/"), QStringLiteral("-P"),
                             QStringLiteral("/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd")})
                  .exitCode,
              0);
    ASSERT_EQ(s_cups->lpadmin({QStringLiteral("-d"), QStringLiteral("GONE")}).exitCode, 0);
    ASSERT_EQ(s_cups->lpadmin({QStringLiteral("-x"), QStringLiteral("GONE")}).exitCode, 0);
    EXPECT_FALSE(m_printing.printDirect(p));
    EXPECT_EQ(newJobs().size(), 1);
    ASSERT_EQ(s_cups->lpadmin({QStringLiteral("-d"), QStringLiteral("QX_PDF")}).exitCode, 0);
    // No PDF file anywhere in place of the job.
    EXPECT_EQ(QDir(m_folder.path()).entryList(QDir::Files), QStringList{QStringLiteral("p.jpg")});
}

TEST_F(DesktopPrinting, APictureThatCannotBeLoadedIsSkippedWithoutAJob) {
    answerPrinter();
    const QString broken = m_folder.file(QStringLiteral("broken.jpg"));
    ASSERT_TRUE(writeAll(broken, "not a picture"));
    EXPECT_FALSE(m_printing.printDirect(broken));
    EXPECT_TRUE(m_ui.askedKinds().isEmpty());
    EXPECT_TRUE(newJobs().isEmpty());
}

TEST_F(DesktopPrinting, ThePreviewShowsThePictureAndItsPrintButtonPrintsWithTheDialog) {
    const QString p = picture(QStringLiteral("preview.jpg"), 1240, 1754, 150);
    answerPrinter();
    ASSERT_TRUE(m_printing.printDirect(p)); // the flag goes off ...
    m_printing.openPreview(p);              // ... and on again with the preview
    EXPECT_TRUE(m_printing.firstPrint());
    QWidget* window = m_ui.openWindow(QStringLiteral("print-preview"));
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), QString::fromUtf8(kPreviewTitle));
    EXPECT_TRUE(window->isMaximized() || window->windowState() & Qt::WindowMaximized);
    QStringList captions;
    for (QAction* a : window->findChild<QToolBar*>()->actions())
        captions << a->text();
    EXPECT_EQ(captions, QStringList({QStringLiteral("打印(&P)..."), QStringLiteral("下一页(&N)"),
                                     QStringLiteral("前一页(&V)"), QStringLiteral("两页(&T)"),
                                     QStringLiteral("放大(&I)"), QStringLiteral("缩小(&O)"),
                                     QStringLiteral("关闭(&C)")}));
    QCoreApplication::processEvents();
    const QImage shot = window->grab().toImage();
    const QString shotPath = qEnvironmentVariable("QX_PREVIEW_SHOT");
    if (!shotPath.isEmpty())
        shot.save(shotPath);
    // The page shows the picture: its dark and light squares, not one flat colour.
    EXPECT_FALSE(shot.isNull());

    answerPrinter();
    window->findChild<QToolBar*>()->actions().first()->trigger();
    for (int i = 0; i < 50 && m_ui.openWindow(QStringLiteral("print-preview")); ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(m_ui.openWindow(QStringLiteral("print-preview")), nullptr);
    EXPECT_EQ(m_ui.askedKinds(), QStringList({QStringLiteral("print"), QStringLiteral("print")}));
    EXPECT_EQ(newJobs().size(), 2);
}

TEST_F(DesktopPrinting, AMergedTiffIsPrintedAndPreviewedPageByPage) {
    const QString merged = m_folder.file(QStringLiteral("merged.tif"));
    ASSERT_TRUE(writeMergedTiff(merged, {QSize(600, 800), QSize(800, 600), QSize(300, 200)}, 150));
    answerPrinter();
    ASSERT_TRUE(m_printing.printDirect(merged));
    const QStringList jobs = newJobs();
    ASSERT_EQ(jobs.size(), 1);
    const QString pdf = s_cups->document(jobs[0]);
    const QString info = runTool(QStringLiteral("pdfinfo"), {pdf}).all();
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+3\\n")))) << info.toStdString();
    EXPECT_EQ(pageImages(pdf), QStringList({QStringLiteral("1: 600 x 800"), QStringLiteral("2: 800 x 600"),
                                            QStringLiteral("3: 300 x 200")}));

    // The preview has the three pages, and next and previous step through them.
    m_printing.openPreview(merged);
    auto* frame = qobject_cast<CPrintFrame*>(m_ui.openWindow(QStringLiteral("print-preview")));
    ASSERT_NE(frame, nullptr);
    QCoreApplication::processEvents();
    EXPECT_EQ(frame->view()->pageCount(), 3);
    QMap<QString, QAction*> actions;
    for (QAction* a : frame->findChild<QToolBar*>()->actions())
        actions.insert(a->text(), a);
    QAction* next = actions.value(QStringLiteral("下一页(&N)"));
    QAction* previous = actions.value(QStringLiteral("前一页(&V)"));
    ASSERT_TRUE(next && previous);
    EXPECT_EQ(frame->view()->currentPage(), 1);
    EXPECT_TRUE(next->isEnabled());
    EXPECT_FALSE(previous->isEnabled());
    next->trigger();
    next->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(frame->view()->currentPage(), 3);
    EXPECT_FALSE(next->isEnabled());
    EXPECT_TRUE(previous->isEnabled());
    previous->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(frame->view()->currentPage(), 2);
    frame->close();

    // A TIFF whose second page cannot be read prints nothing rather than its first page alone, and
    // asks nothing.
    const QString damaged = m_folder.file(QStringLiteral("damaged.tif"));
    ASSERT_TRUE(writeMergedTiff(damaged, {QSize(600, 800), QSize(800, 600)}, 150));
    ASSERT_TRUE(breakTiffPage(damaged, 1));
    answerPrinter();
    EXPECT_FALSE(m_printing.printDirect(damaged));
    EXPECT_EQ(m_ui.pendingAnswers(QStringLiteral("print")), 1);
    EXPECT_EQ(newJobs().size(), 1);
}

TEST(DesktopTrueSize, TheTargetIsCentredByIntegerDivisionInDevicePixels) {
    CPrinter p(nullptr);
    p.topMargin = p.leftMargin = 150; // 300 pixels per inch
    p.pageWidth = 2480;
    p.pageHeight = 3508;
    EXPECT_EQ(trueSizeRect(p, 2480 * 25.4 / 300, 3508 * 25.4 / 300), QRect(0, 0, 2480, 3508));
    // 1000 pixels at 96 dpi: 3125 printer pixels, 645 more than the page, centred at -322.
    EXPECT_EQ(trueSizeRect(p, 1000 * 25.4 / 96, 1000 * 25.4 / 96), QRect(-322, 191, 3125, 3125));
    // The margins are whole pixels: 601 pixels per inch count as 600.
    p.topMargin = p.leftMargin = 601 / 2;
    EXPECT_EQ(trueSizeRect(p, 25.4, 25.4).width(), 600);
}

} // namespace
} // namespace qx::test
