#pragma once

#include <QDialog>

class MediaIntf;
class MediaInfoStore;
class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimeEdit;
class QWidget;

/// The information dialog of one media file: its name, title, author, keywords, description
/// and the time its publication is planned for.
///
/// The publish form ("Save/Publish image", "Publish Setting") is where the user edits and
/// saves; the information form ("Delete image", "Publish Information") shows what was
/// published. Nothing is uploaded from here yet: the service check boxes and buttons and the
/// trash can exist but stay hidden and disabled until there is an upload component to hand
/// them to.
class MediaInfoModifiedPanel : public QDialog
{
    Q_OBJECT

public:
    enum Form { PublishForm, InformationForm };

    /// `media` must outlive the dialog; Save changes it.
    MediaInfoModifiedPanel(MediaIntf *media, Form form, QWidget *parent = nullptr);
    ~MediaInfoModifiedPanel() override;

public Q_SLOTS:
    /// Applies the dialog to the file: renames it, stores its information and closes; or tells
    /// the user why not and stays open. True when saved.
    bool save();

private:
    void buildLayout(Form form);
    void fillFields();
    bool checkFile();
    bool makeRoomForName(const QString &name);

    MediaIntf *media;
    MediaInfoStore *store;
    QLabel *sectionLabel;
    QLineEdit *fileName;
    QLineEdit *author;
    QLineEdit *title;
    QLineEdit *keywords;
    QPlainTextEdit *description;
    QTimeEdit *publishTime;
    QDateEdit *publishDate;
    QWidget *services;
    QPushButton *trashCan;
};
