// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/linkcheck/FetchDialog.h"

#include "platform/net/NetProber.h"
#include "platform/net/NetSession.h"
#include "status/LinkResult.h"
#include "status/PageMeta.h"
#include "store/Preferences.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

namespace brindle {

std::optional<FetchedPage> FetchDialog::Run(QWidget* parent, const QString& url,
                                            const CPreferences& prefs) {
    FetchDialog dialog(url, prefs, parent);
    const int answer = dialog.exec();
    if (answer != QDialog::Accepted || !dialog.IsDone())
        return std::nullopt;
    return dialog.Result();
}

FetchDialog::FetchDialog(const QString& url, const CPreferences& prefs, QWidget* parent)
    : QDialog(parent), m_prefs(prefs) {
    setObjectName(QStringLiteral("fetchDialog"));
    m_page.url = url;
    setWindowTitle(tr("Fetch from ") + url);
    auto* layout = new QVBoxLayout(this);
    // A busy bar stands for the animation: it moves until the fetch ends.
    m_animation = new QProgressBar(this);
    m_animation->setObjectName(QStringLiteral("fetchAnimation"));
    m_animation->setRange(0, 0);
    m_animation->setTextVisible(false);
    layout->addWidget(m_animation);
    m_text = new QLabel(this);
    m_text->setObjectName(QStringLiteral("fetchProgress"));
    m_text->setMinimumHeight(m_text->fontMetrics().height() * 3);
    m_text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_text->setWordWrap(true);
    layout->addWidget(m_text, 1);
    m_button = new QPushButton(tr("Cancel"), this);
    m_button->setObjectName(QStringLiteral("fetchButton"));
    m_button->setDefault(true);
    connect(m_button, &QPushButton::clicked, this, [this] { m_done ? accept() : reject(); });
    layout->addWidget(m_button, 0, Qt::AlignHCenter);
    resize(360, 170);
}

FetchDialog::~FetchDialog() {
    // The prober goes first: its request is aborted and reports nothing.
    m_prober.reset();
    m_session.reset();
}

QString FetchDialog::ProgressText() const {
    return m_text->text();
}

void FetchDialog::SetProgress(const QString& text) {
    m_text->setText(text);
}

void FetchDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_started) {
        m_started = true;
        QTimer::singleShot(0, this, &FetchDialog::StartFetch);
    }
}

void FetchDialog::StartFetch() {
    m_session = std::make_unique<NetSession>();
    if (!m_session->Open(SessionSettings::FromPreferences(m_prefs))) {
        SetProgress(tr("Cannot open internet session"));
        OnDone(ProbeResult{});
        return;
    }
    m_prober = std::make_unique<NetProber>(*m_session, NetProber::Mode::Fetch);
    m_prober->SetProgress([this](int, NetProber::Stage stage, const QUrl& url) {
        switch (stage) {
        case NetProber::Stage::Connecting:
            SetProgress(tr("Connecting to server"));
            break;
        case NetProber::Stage::RequestSent:
            SetProgress(tr("Request have been sent"));
            break;
        case NetProber::Stage::Redirect:
            // The title follows every hop; the URL handed back only the permanent ones.
            SetProgress(tr("Redirect"));
            setWindowTitle(tr("Fetch from ") + url.toString());
            break;
        case NetProber::Stage::ResponseReceived:
            SetProgress(tr("Received response"));
            break;
        case NetProber::Stage::Receiving:
            SetProgress(tr("Receiving"));
            break;
        }
    });
    m_prober->SetCompletion([this](int, ProbeResult result) { OnDone(result); });
    SetProgress(tr("Sending request"));
    m_prober->Start(0, m_page.url.toStdString(), 0);
}

void FetchDialog::OnDone(const ProbeResult& result) {
    m_animation->setRange(0, 1);
    m_animation->setValue(0);
    if (!result.location.empty())
        m_page.url = QString::fromStdString(result.location);
    if (result.result == 200 && result.pageRead) {
        m_page.fetched = true;
        m_page.name = QString::fromStdString(result.page.title);
        const std::string keywords =
            FetchedKeywords(result.page.keywords, m_page.name.toStdString());
        m_page.keywords = QString::fromStdString(keywords);
        m_page.keywordCount = FetchedKeywordCount(keywords);
        m_page.description = QString::fromStdString(result.page.description);
        QString text;
        if (!m_page.name.isEmpty())
            text += tr("Name Fetched\n");
        if (!m_page.description.isEmpty())
            text += tr("Description Fetched\n");
        text += tr("Get ") + QString::number(m_page.keywordCount) + tr(" keywords");
        SetProgress(text);
    } else if (result.result >= 100 && result.result < 600) {
        // The answer's own status line.
        SetProgress(QString::number(result.result) + u' ' +
                    QString::fromStdString(result.statusText));
    } else if (result.result != 0) {
        QString text = QString::fromStdString(SystemErrorText(result.result));
        // A failed secure connection also says what was wrong with the certificate.
        if (IsSecureFailure(result.result) && !result.statusText.empty())
            text += u'\n' + QString::fromStdString(result.statusText);
        if (!text.isEmpty())
            SetProgress(text);
    }
    m_done = true;
    m_button->setText(tr("OK"));
}

} // namespace brindle
