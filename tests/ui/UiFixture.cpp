#include "ui/UiFixture.h"

#include <QApplication>
#include <QCoreApplication>

#include "model/Clip.h"
#include "model/Phrase.h"
#include "model/PhraseBank.h"
#include "model/Track.h"

CUiFixture::~CUiFixture()
{
    m_app.reset();
    Settle();
}

void CUiFixture::Start(const QStringList& arguments)
{
    CAppEnvironment environment;
    environment.profile = &m_profile;
    environment.user = &m_user;
    environment.startMusicThread = false;
    environment.backend = [] {
        return std::make_unique<CVirtualBackend>(std::vector<std::string>{"Out A"},
                                                 std::vector<std::string>{"In A"});
    };
    m_app = std::make_unique<CSequencerApp>(environment);
    ASSERT_TRUE(m_app->InitInstance(QStringList{QStringLiteral("tonalweaver")} + arguments));
    Settle();
}

bool CUiFixture::StartFailing(const std::string& reason)
{
    CAppEnvironment environment;
    environment.profile = &m_profile;
    environment.user = &m_user;
    environment.startMusicThread = false;
    environment.backend = [reason] {
        auto backend = std::make_unique<CVirtualBackend>(std::vector<std::string>{},
                                                         std::vector<std::string>{});
        backend->SetStartFailure(reason);
        return backend;
    };
    m_app = std::make_unique<CSequencerApp>(environment);
    return m_app->InitInstance({QStringLiteral("tonalweaver")});
}

CShellProjectWindows& CUiFixture::WindowsOf(CProjectDoc& doc)
{
    return dynamic_cast<CShellProjectWindows&>(doc.GetWindows());
}

std::string CUiFixture::PathOf(const std::string& name) const
{
    return m_dir.filePath(QString::fromStdString(name)).toStdString();
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
