#include "MediaInfoModifiedPanel.h"

#include "MediaImpl.h"
#include "MediaInfoFile.h"
#include "MediaInfoStore.h"

#include <MessageBox.h>
#include <SettingIntf.h>

#include <QCheckBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTimeEdit>
#include <QVBoxLayout>

#include <filesystem>
#include <system_error>

namespace {

constexpr std::array<std::pair<MediaIntf::Service, const char *>, 5> serviceNames{{
        {MediaIntf::Facebook, "Facebook"},
        {MediaIntf::Dropbox, "Dropbox"},
        {MediaIntf::Twitter, "Twitter"},
        {MediaIntf::Picasa, "Picasa"},
        {MediaIntf::YouTube, "YouTube"},
}};

QString kindName(int kind)
{
    return kind == MediaIntf::Video ? QStringLiteral(" video") : QStringLiteral(" image");
}

bool isFolder(const MediaIntf &media)
{
    return media.kind() == MediaIntf::Folder;
}

// On a file system that ignores case (a memory stick), "photo.jpg" is "Photo.jpg" itself:
// replacing it would delete the file being renamed.
bool sameFile(const QString &a, const QString &b)
{
    std::error_code error;
    return std::filesystem::equivalent(a.toStdString(), b.toStdString(), error) && !error;
}

} // namespace

MediaInfoModifiedPanel::MediaInfoModifiedPanel(MediaIntf *media, Form form, QWidget *parent)
    : QDialog(parent)
    , media(media)
    , store(MediaInfoStore::getInstance())
{
    // The kind the information file records names the dialog.
    store->readInformation(*media);
    buildLayout(form);
    fillFields();
}

MediaInfoModifiedPanel::~MediaInfoModifiedPanel()
{
    store->release();
}

void MediaInfoModifiedPanel::buildLayout(Form form)
{
    const QString kind = kindName(media->kind());
    setWindowTitle(form == PublishForm ? QStringLiteral("Save/Publish") + kind
                                       : QStringLiteral("Delete") + kind);

    auto *fields = new QFormLayout;
    const auto line = [this, fields](const char *label, const char *name) {
        auto *edit = new QLineEdit(this);
        edit->setObjectName(QLatin1StringView(name));
        fields->addRow(QLatin1StringView(label), edit);
        return edit;
    };
    fileName = line("File name", "fileName");
    author = line("Author", "author");
    title = line("Title", "title");
    keywords = line("Keywords", "keywords");
    description = new QPlainTextEdit(this);
    description->setObjectName(QStringLiteral("description"));
    fields->addRow(QStringLiteral("Description"), description);

    sectionLabel = new QLabel(form == PublishForm ? QStringLiteral("Publish Setting")
                                                  : QStringLiteral("Publish Information"),
                              this);
    sectionLabel->setObjectName(QStringLiteral("sectionLabel"));
    publishTime = new QTimeEdit(this);
    publishTime->setObjectName(QStringLiteral("publishTime"));
    publishTime->setDisplayFormat(QStringLiteral("hh:mm A"));
    publishDate = new QDateEdit(this);
    publishDate->setObjectName(QStringLiteral("publishDate"));
    publishDate->setDisplayFormat(QStringLiteral("MM/dd/yyyy"));
    publishDate->setCalendarPopup(true);
    auto *when = new QHBoxLayout;
    when->addWidget(publishTime);
    when->addWidget(publishDate);
    auto *publish = new QFormLayout;
    publish->addRow(QStringLiteral("Publish at"), when);

    // Built for the day uploads exist; until then they would promise what cannot happen.
    services = new QWidget(this);
    services->setObjectName(QStringLiteral("services"));
    auto *serviceRow = new QHBoxLayout(services);
    for (const auto &[service, name] : serviceNames) {
        auto *check = new QCheckBox(QLatin1StringView(name), services);
        check->setProperty("service", int(service));
        serviceRow->addWidget(check);
        serviceRow->addWidget(new QPushButton(QLatin1StringView(name), services));
    }
    services->setEnabled(false);
    services->hide();
    trashCan = new QPushButton(this);
    trashCan->setObjectName(QStringLiteral("trashCan"));
    trashCan->setIcon(style()->standardIcon(QStyle::SP_TrashIcon));
    trashCan->setEnabled(false);
    trashCan->hide();

    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    QPushButton *saveButton
            = buttons->addButton(QStringLiteral("Save"), QDialogButtonBox::AcceptRole);
    saveButton->setObjectName(QStringLiteral("save"));
    saveButton->setDefault(true);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(saveButton, &QPushButton::clicked, this, &MediaInfoModifiedPanel::save);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(sectionLabel);
    layout->addLayout(publish);
    layout->addWidget(services);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(trashCan);
    bottom->addStretch();
    bottom->addWidget(buttons);
    layout->addLayout(bottom);
}

void MediaInfoModifiedPanel::fillFields()
{
    const QFileInfo file(media->path());
    fileName->setText(isFolder(*media) ? file.fileName() : file.completeBaseName());
    author->setText(media->author());
    title->setText(media->title());
    keywords->setText(media->keywords().join(QLatin1Char(',')));
    description->setPlainText(media->description());
    const QDateTime when
            = media->uploadTime().isValid() ? media->uploadTime() : QDateTime::currentDateTime();
    publishTime->setTime(when.time());
    publishDate->setDate(when.date());
}

bool MediaInfoModifiedPanel::checkFile()
{
    const QString path = media->path();
    QString problem;
    if (!QFileInfo::exists(path))
        problem = QStringLiteral("File does not exist.");
    else if (QFile file(path); !isFolder(*media) && !file.open(QIODevice::ReadOnly))
        problem = QStringLiteral("File is in use.");
    else if (fileName->text().isEmpty())
        problem = QStringLiteral("File name cannot be empty.");
    if (problem.isEmpty())
        return true;
    MessageBox::warning(this, QStringLiteral("File error"), problem);
    return false;
}

bool MediaInfoModifiedPanel::makeRoomForName(const QString &name)
{
    const QFileInfo old(media->path());
    // A name the rename will refuse must not cost another file first: "../x" names one
    // elsewhere, ".." a folder's parent.
    if (name == (isFolder(*media) ? old.fileName() : old.completeBaseName())
        || !MediaInfoStore::nameProblem(name).isEmpty() || name == u"." || name == u"..")
        return true;
    QString target = old.absoluteDir().filePath(name);
    if (!isFolder(*media) && !old.suffix().isEmpty())
        target += QLatin1Char('.') + old.suffix();
    if (!QFileInfo::exists(target) || sameFile(target, old.absoluteFilePath()))
        return true;
    if (MessageBox::question(this, QStringLiteral("Rename file"),
                             QStringLiteral("Destination file exists. Do you want to replace it?"))
        != QMessageBox::Yes)
        return false;
    MediaImpl existing(target, QFileInfo(target).isDir() ? MediaIntf::Folder : media->kind());
    return store->remove(existing);
}

bool MediaInfoModifiedPanel::save()
{
    if (!checkFile())
        return false;
    const QString name = fileName->text();
    if (!makeRoomForName(name))
        return false;
    const QFileInfo old(media->path());
    if (name != (isFolder(*media) ? old.fileName() : old.completeBaseName())
        && !store->rename(*media, name, true))
        return false;

    media->setTitle(title->text());
    media->setKeywords(MediaInfoFile::splitKeywords(keywords->text()));
    media->setAuthor(author->text());
    media->setDescription(description->toPlainText());
    const QDateTime when(publishDate->date(), publishTime->time());
    media->setUploadTime(when);
    SettingIntf *settings = SettingIntf::getInstance();
    settings->setValue(QStringLiteral("Upload Time"), when);
    settings->release();
    store->writeInformation(*media);
    accept();
    return true;
}
