#pragma once

#include <QDialog>

#include <array>

class FolderDeletion;
class QCheckBox;

/// Asks whether a folder is to be deleted, and which of the files the user may want to keep go
/// with it: one check box per kind of file the folder holds (files being uploaded, non-media
/// files, hidden media files, media files published before, read-only files). A kind the folder
/// does not hold is shown disabled and unchecked.
class DeleteInfoDialog : public QDialog
{
    Q_OBJECT

public:
    /// Questions this long or longer have the folder name cut.
    static constexpr int LongestQuestion = 74;

    DeleteInfoDialog(const FolderDeletion &deletion, QWidget *parent = nullptr);

    /// "Do you want to delete "name"", with a long name cut to end in "..." and the quote.
    static QString question(const QString &folderName);
    /// The check box's text for `count` files of FolderDeletion kind `kind`.
    static QString countText(int kind, int count);

    /// The or-ed FolderDeletion kinds whose boxes are unchecked: those files stay.
    int keptKinds() const;
    QCheckBox *checkBox(int kind) const;

private:
    std::array<QCheckBox *, 5> boxes{};
};
