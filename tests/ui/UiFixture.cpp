#include "ui/UiFixture.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QTest>

#include "controls/EditValue.h"
#include "editors/CanvasView.h"
#include "editors/ScanlineRaster.h"

#include "model/Clip.h"
#include "model/Phrase.h"
#include "model/PhraseBank.h"
#include "model/Track.h"

CUiFixture::~CUiFixture()
{
    m_app.reset();
    Settle();
}

std::unique_ptr<CMidiBackend> CUiFixture::TestBackend()
{
    return std::make_unique<CVirtualBackend>(std::vector<std::string>{"Out A"},
                                             std::vector<std::string>{"In A"});
}

bool CUiFixture::Launch(const QStringList& arguments, CProfile* profile,
                        CEngineHost::BackendFactory backend)
{
    CAppEnvironment environment;
    environment.profile = profile;
    environment.user = &m_user;
    environment.console = &m_console;
    environment.startMusicThread = false;
    environment.backend = std::move(backend);
    m_app = std::make_unique<CSequencerApp>(environment);
    return m_app->InitInstance(QStringList{QStringLiteral("tonalweaver")} + arguments);
}

void CUiFixture::Start(const QStringList& arguments)
{
    ASSERT_TRUE(Launch(arguments, &m_profile, TestBackend));
    Settle();
    // The offscreen platform activates every window it shows, the transport too; a window
    // manager leaves the keyboard with the main window, as the tests expect.
    Frame().activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&Frame()));
    Settle();
}

bool CUiFixture::StartFailing(const std::string& reason)
{
    return Launch({}, &m_profile, [reason] {
        auto backend = std::make_unique<CVirtualBackend>(std::vector<std::string>{},
                                                         std::vector<std::string>{});
        backend->SetStartFailure(reason);
        return backend;
    });
}

CShellProjectWindows& CUiFixture::WindowsOf(CProjectDoc& doc)
{
    return dynamic_cast<CShellProjectWindows&>(doc.GetWindows());
}

std::string CUiFixture::PathOf(const std::string& name) const
{
    return m_dir.filePath(QString::fromStdString(name)).toStdString();
}

void Choose(QComboBox& box, const QString& text)
{
    const int at = box.findText(text);
    ASSERT_GE(at, 0) << text.toStdString();
    box.setCurrentIndex(at);
    emit box.activated(at);
}

void TypeInto(CEditValue& box, const QString& text)
{
    box.OpenEditor(text);
    QTest::keyClick(box.GetEditor(), Qt::Key_Return);
}

void FillSampleProject(CProjectDoc& doc)
{
    auto bank = std::make_unique<CPhraseBank>("Bank A");
    auto phrase = std::make_unique<CPhrase>();
    phrase->SetName("Riff");
    phrase->SetLength(384);
    phrase->SetId(doc.NewObjectId());
    bank->InsertAt(0, std::move(phrase));
    doc.InsertBank(-1, std::move(bank));
    auto track = std::make_unique<CTrack>();
    track->SetName("Bass");
    track->SetId(doc.NewTrackId());
    auto clip = std::make_unique<CClip>(0, 384, "Line", 0x3366CC);
    clip->SetId(doc.NewObjectId());
    track->AddClip(std::move(clip));
    doc.InsertTrack(-1, std::move(track));
}

std::string CUiFixture::SaveSampleProject(const std::string& name)
{
    CProjectDoc doc;
    FillSampleProject(doc);
    const std::string path = PathOf(name);
    doc.Save(path);
    return path;
}

void CUiFixture::Settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

QImage CUiFixture::CanvasPicture(CCanvasView& canvas, bool scanlines, qreal ratio,
                                 const QRect& piece)
{
    CScanlineRaster::SetEnabled(scanlines);
    QImage image(piece.size() * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    canvas.InvalidateContent();
    canvas.viewport()->render(&image, QPoint(), QRegion(piece));
    CScanlineRaster::SetEnabled(true);
    return image;
}
