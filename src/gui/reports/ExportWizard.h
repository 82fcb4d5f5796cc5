#pragma once

#include "export/SmsExport.h"

#include <QDate>
#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace parlix {

class ExportJob;
class Prompt;

// How a wizard step ends: closed (Cancel, the window's close button, the end of an export),
// or on to the next step, or back to the one before.
enum WizardStep { WizardClosed = QDialog::Rejected, WizardNext = 2, WizardBack = 3 };

// Asks where to save: (folder, suggested file name, filter) -> the chosen path, empty when
// the operator cancels. The window's save dialog unless a test gives its own.
using SaveFileChooser =
    std::function<QString(QWidget *parent, const QString &folder, const QString &name, const QString &filter)>;

// Frm_ExportSMS_Step2: which fields to export.
class ExportStep2Window final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ExportStep2Window)

public:
    // total: how many rows the report's last fill found, asked again whenever the step shows.
    ExportStep2Window(Prompt &prompt, std::function<qint64()> total, QWidget *parent = nullptr);

    // The chosen column names joined by ", " ("" when none is ticked).
    QString SqlExportSMS() const;

    static QString noFieldText() { return QStringLiteral("Please Select at least one field for export."); }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void next();

    Prompt &m_prompt;
    std::function<qint64()> m_total;
    QCheckBox *m_mobileNo;
    QCheckBox *m_message;
    QCheckBox *m_sendOn;
    QLabel *m_count;
};

// Frm_ExportSMS_Step3: the format and the file, then the export on its own thread.
class ExportStep3Window final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ExportStep3Window)

public:
    struct Source
    {
        QString databasePath;
        QDate from;
        QDate to;
        std::function<QString()> SqlExportSMS;
    };

    ExportStep3Window(Prompt &prompt, Source source, SaveFileChooser chooser, QWidget *parent = nullptr);
    ~ExportStep3Window() override;

    QString chosenPath() const { return m_path; }
    QString delimiter() const { return m_delimiter; }
    bool isExporting() const;

    static QString successText() { return QStringLiteral("Mobile numbers exported successfully at location:"); }
    static QString noFileText() { return QStringLiteral("Please enter File Name."); }
    static QString fileExistsText()
    {
        return QStringLiteral(" File Name Already Exists ") + QStringLiteral("\n\n") +
               QStringLiteral(" Please enter another name ");
    }
    static QString wrongExtensionText(ExportFormat format);

public Q_SLOTS:
    void browse();
    void startExport();
    // Sets the cancel flag; a running export stops before its next row and the window closes
    // once it has said so.
    void reject() override;

private:
    ExportFormat format() const;
    void formatChosen();
    void setRunning(bool running);
    void showProgress(qint64 written, qint64 total);
    void exportEnded(const ExportOutcome &outcome);

    Prompt &m_prompt;
    Source m_source;
    SaveFileChooser m_chooser;
    ExportJob *m_job;
    QString m_path;
    QString m_delimiter = QStringLiteral(",");
    bool m_running = false;
    bool m_closeWhenEnded = false;

    QGroupBox *m_formats;
    QRadioButton *m_access;
    QRadioButton *m_excel;
    QRadioButton *m_csv;
    QWidget *m_textOptions;
    QCheckBox *m_includeNames;
    QRadioButton *m_other;
    QLineEdit *m_otherText;
    QComboBox *m_qualifier;
    QComboBox *m_encoding;
    QGroupBox *m_fileFrame;
    QLabel *m_fileName;
    QPushButton *m_browse;
    QProgressBar *m_progress;
    QLabel *m_percent;
    QLabel *m_update;
    QPushButton *m_back;
    QPushButton *m_export;
    QPushButton *m_cancel;
};

} // namespace parlix
