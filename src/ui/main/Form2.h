#pragma once

#include <QPointer>

#include "ui/ProgramWindow.h"

class ChangeHandlers;
class Dialogs;
class Form1;
class HoverRules;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class UploadList;

// The main window: the Upload frame (the file list, the target table and column, "Start
// Uploading") and the Download frame (the source table and column, the remembered destination,
// prefix and extension, "Start Saving Blob/Image As Local File"), with the upload's progress bar
// and the way back to the login window. It reads the connection profile from the login window at
// each operation.
//
// Its controls, each with its name as its objectName (tests find them by it):
//   Frame2         the "Upload" frame
//   Frame3         upload: "Select files to upload"
//   ListView1      upload: the file list
//   PushButton3    upload: "Add Images or Other File(s)"
//   PushButton4    upload: "Add All Files In Folder"
//   Frame4         upload: "Select table and field to upload to"
//   Label4, List4  upload: " Tables:", the tables
//   Label5, List3  upload: " Blob/Image Field:", the columns of the table
//   PushButton7    upload: "Start Uploading"
//   Frame1         the "Download" frame
//   Frame5         download: "Select table and field which contain images to save"
//   Label3, List1  download: " Tables:", the tables
//   Label2, List2  download: " Blob/Image Field:", the columns of the table
//   Label8, Text1  download: " Save images to this folder:", the destination folder
//   PushButton2    download: "...", browses for the destination folder
//   Label6, Text2  download: " Use this as filename prefix:", the prefix
//   Label1, Text3  download: " Use this as an extension:", the extension
//   PushButton1    download: "Start Saving Blob/Image As Local File"
//   ProgressBar1   the upload's progress
//   PushButton5    "Switch MySQL Database"
class Form2 : public ProgramWindow {
    Q_OBJECT

public:
    Form2(Dialogs& dialogs, Form1& login);
    ~Form2() override;

    void Form_Load();
    void PushButton1_Click();
    void PushButton2_Click();
    void PushButton3_Click();
    void PushButton4_Click();
    void PushButton5_Click();
    void PushButton7_Click();
    void List1_Click();
    void List4_Click();

    // True while a download, an upload or a folder add runs.
    bool isBusy() const { return busyDepth_ > 0; }
    // The table lists that the login window fills when it hands over.
    QListWidget& downloadTables() { return *List1; }
    QListWidget& uploadTables() { return *List4; }

private:
    void buildControls();
    void connectHandlers();
    void ListFieldsOfTable(QListWidget& tables, QListWidget& fields, const QString& procedure);
    // The hourglass and the action buttons around a run, so that no second run can start inside
    // the first one while it lets the event loop turn. Each setBusy(true) is matched by a
    // setBusy(false).
    void setBusy(bool busy);

    QGroupBox* Frame1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QGroupBox* Frame3 = nullptr;
    QGroupBox* Frame4 = nullptr;
    QGroupBox* Frame5 = nullptr;
    UploadList* ListView1 = nullptr;
    QPushButton* PushButton1 = nullptr;
    QPushButton* PushButton2 = nullptr;
    QPushButton* PushButton3 = nullptr;
    QPushButton* PushButton4 = nullptr;
    QPushButton* PushButton5 = nullptr;
    QPushButton* PushButton7 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label8 = nullptr;
    QListWidget* List1 = nullptr;
    QListWidget* List2 = nullptr;
    QListWidget* List3 = nullptr;
    QListWidget* List4 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QLineEdit* Text3 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;

    Dialogs& dialogs_;
    Form1& login_;
    HoverRules* hover_ = nullptr;
    ChangeHandlers* changes_ = nullptr;
    int busyDepth_ = 0;
    QPointer<QWidget> focusBeforeBusy_;  // the control that had the focus when a run began
};
