#include "gui/reports/ExportWizard.h"

#include "core/Prompt.h"
#include "export/ExportJob.h"
#include "gui/common/NamedButton.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace parlix {

namespace {

template <typename T> T *named(T *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QHBoxLayout *buttonRow(QPushButton *back, QPushButton *next, QPushButton *cancel)
{
    auto *row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(back);
    row->addWidget(next);
    row->addWidget(cancel);
    return row;
}

QString fileFilter(ExportFormat format)
{
    const QString kind = format == ExportFormat::Database   ? QStringLiteral("SQLite Database Files")
                         : format == ExportFormat::Workbook ? QStringLiteral("Excel Workbooks")
                                                            : QStringLiteral("CSV Files");
    return QStringLiteral("%1 (*%2)").arg(kind, exportExtension(format));
}

QString saveDialog(QWidget *parent, const QString &folder, const QString &name, const QString &filter)
{
    // Existing files are refused by the window itself, with its own message.
    return QFileDialog::getSaveFileName(parent, QStringLiteral("Export SMS"), QDir(folder).filePath(name), filter,
                                        nullptr, QFileDialog::DontConfirmOverwrite);
}

QList<ExportField> fieldsOf(const QString &columns)
{
    QList<ExportField> fields;
    for (const QString &part : columns.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString name = part.trimmed();
        for (const ExportField field : allExportFields()) {
            if (exportColumnName(field) == name)
                fields << field;
        }
    }
    return fields;
}

} // namespace

// ---------------------------------------------------------------------------------------------

ExportStep2Window::ExportStep2Window(Prompt &prompt, std::function<qint64()> total, QWidget *parent)
    : QDialog(parent)
    , m_prompt(prompt)
    , m_total(std::move(total))
    , m_mobileNo(named(new QCheckBox(QStringLiteral("Mobile Number")), "chkMobileNo"))
    , m_message(named(new QCheckBox(QStringLiteral("Message")), "chkMessage"))
    , m_sendOn(named(new QCheckBox(QStringLiteral("SMS Date Time")), "chkSendOn"))
    , m_count(named(new QLabel, "lblmessage"))
{
    setObjectName(QStringLiteral("Frm_ExportSMS_Step2"));
    setWindowTitle(QStringLiteral("Export SMS"));
    for (QCheckBox *box : {m_mobileNo, m_message, m_sendOn})
        box->setChecked(true);

    QPushButton *back = namedButton("cmdBack", QStringLiteral("<<Back"));
    QPushButton *next = namedButton("cmdNext", QStringLiteral("&Next >>"));
    QPushButton *cancel = namedButton("cmdCancel", QStringLiteral("&Cancel"));
    connect(back, &QPushButton::clicked, this, [this] { done(WizardBack); });
    connect(next, &QPushButton::clicked, this, &ExportStep2Window::next);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *fields = new QGroupBox(QStringLiteral("Select fields to be exported"));
    auto *fieldLayout = new QVBoxLayout(fields);
    for (QCheckBox *box : {m_mobileNo, m_message, m_sendOn})
        fieldLayout->addWidget(box);
    auto *countRow = new QHBoxLayout;
    countRow->addWidget(new QLabel(QStringLiteral("Total records selected for export :")));
    countRow->addWidget(m_count);
    countRow->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(countRow);
    layout->addWidget(fields);
    layout->addStretch();
    layout->addLayout(buttonRow(back, next, cancel));
}

QString ExportStep2Window::SqlExportSMS() const
{
    QString columns;
    if (m_mobileNo->isChecked())
        columns += QStringLiteral(" SenderMobileNo,");
    if (m_message->isChecked())
        columns += QStringLiteral(" Message,");
    if (m_sendOn->isChecked())
        columns += QStringLiteral(" InboxDateTime,");
    columns = columns.trimmed();
    while (columns.endsWith(QLatin1Char(',')))
        columns.chop(1);
    return columns;
}

void ExportStep2Window::showEvent(QShowEvent *event)
{
    m_count->setText(QString::number(m_total ? m_total() : 0));
    QDialog::showEvent(event);
}

void ExportStep2Window::next()
{
    if (SqlExportSMS().isEmpty()) {
        m_prompt.inform(noFieldText(), Prompt::Icon::None);
        return;
    }
    done(WizardNext);
}

// ---------------------------------------------------------------------------------------------

QString ExportStep3Window::wrongExtensionText(ExportFormat format)
{
    return QStringLiteral("please select %1 Files only.").arg(exportExtension(format).mid(1).toUpper());
}

ExportStep3Window::ExportStep3Window(Prompt &prompt, Source source, SaveFileChooser chooser, QWidget *parent)
    : QDialog(parent)
    , m_prompt(prompt)
    , m_source(std::move(source))
    , m_chooser(chooser ? std::move(chooser) : SaveFileChooser(&saveDialog))
    , m_job(new ExportJob(this))
    , m_formats(new QGroupBox(QStringLiteral("Select file format to be exported")))
    , m_access(named(new QRadioButton(QStringLiteral("SQLite Database (*.db)")), "optAccess"))
    , m_excel(named(new QRadioButton(QStringLiteral("Excel Workbook (*.xlsx)")), "optExcel"))
    , m_csv(named(new QRadioButton(QStringLiteral("CSV")), "optCsv"))
    , m_textOptions(new QWidget)
    , m_includeNames(named(new QCheckBox(QStringLiteral("Include Field Names on First Row ")), "chkIncludeFlds"))
    , m_other(named(new QRadioButton(QStringLiteral("Other :")), "optOther"))
    , m_otherText(named(new QLineEdit, "txtOther"))
    , m_qualifier(named(new QComboBox, "cmbQulifier"))
    , m_encoding(named(new QComboBox, "cmbEncoding"))
    , m_fileFrame(new QGroupBox)
    , m_fileName(named(new QLabel, "lblSelectedfileName"))
    , m_browse(namedButton("cmdBrowse", QStringLiteral("Browse")))
    , m_progress(named(new QProgressBar, "ProgExport"))
    , m_percent(named(new QLabel, "lblProgress"))
    , m_update(named(new QLabel, "lblUpdate"))
    , m_back(namedButton("cmdBack", QStringLiteral("<<Back")))
    , m_export(namedButton("cmdNext", QStringLiteral("&Export")))
    , m_cancel(namedButton("cmdCancel", QStringLiteral("&Cancel")))
{
    setObjectName(QStringLiteral("Frm_ExportSMS_Step3"));
    setWindowTitle(QStringLiteral("Export SMS"));

    auto *formatLayout = new QVBoxLayout(m_formats);
    for (QRadioButton *option : {m_access, m_excel, m_csv}) {
        formatLayout->addWidget(option);
        connect(option, &QRadioButton::clicked, this, &ExportStep3Window::formatChosen);
    }
    m_access->setChecked(true);

    // The text options.
    m_includeNames->setChecked(true);
    auto *delimiters = new QGroupBox(QStringLiteral("Choose delimiter that seperates your fields"));
    auto *delimiterLayout = new QGridLayout(delimiters);
    const std::pair<const char *, std::pair<QString, QString>> choices[] = {
        {"optComma", {QStringLiteral("Comma"), QStringLiteral(",")}},
        {"optSemicolon", {QStringLiteral("Semicolon"), QStringLiteral(";")}},
        {"optSpace", {QStringLiteral("Space"), QStringLiteral(" ")}},
        {"optTab", {QStringLiteral("Tab"), QStringLiteral("\t")}},
    };
    int cell = 0;
    for (const auto &[name, choice] : choices) {
        auto *option = named(new QRadioButton(choice.first), name);
        const QString delimiter = choice.second;
        connect(option, &QRadioButton::clicked, this, [this, delimiter] { m_delimiter = delimiter; });
        option->setChecked(cell == 0);
        delimiterLayout->addWidget(option, cell / 3, cell % 3);
        ++cell;
    }
    m_otherText->setMaxLength(1);
    m_otherText->setFixedWidth(32);
    // What the box holds is the delimiter only while "Other :" is chosen; typing in it chooses it.
    const auto otherDelimiter = [this] {
        return m_otherText->text().isEmpty() ? QStringLiteral(" ") : m_otherText->text();
    };
    connect(m_other, &QRadioButton::clicked, this, [this, otherDelimiter] {
        m_otherText->setFocus();
        m_delimiter = otherDelimiter();
    });
    connect(m_otherText, &QLineEdit::textEdited, this, [this, otherDelimiter] {
        m_other->setChecked(true);
        m_delimiter = otherDelimiter();
    });
    auto *otherRow = new QHBoxLayout;
    otherRow->addWidget(m_other);
    otherRow->addWidget(m_otherText);
    otherRow->addStretch();
    delimiterLayout->addLayout(otherRow, 1, 1, 1, 2);
    m_qualifier->addItems({QStringLiteral("\""), QStringLiteral("'"), QStringLiteral("{none}")});
    m_encoding->addItem(QStringLiteral("UTF-8"), int(TextEncoding::Utf8));
    m_encoding->addItem(QStringLiteral("Windows-1252 (ANSI, for old spreadsheet programs)"),
                        int(TextEncoding::Windows1252));
    auto *textForm = new QFormLayout;
    textForm->addRow(QStringLiteral("Text Qualifier :"), m_qualifier);
    textForm->addRow(QStringLiteral("Encoding :"), m_encoding);
    auto *textLayout = new QVBoxLayout(m_textOptions);
    textLayout->setContentsMargins(0, 0, 0, 0);
    textLayout->addWidget(m_includeNames);
    textLayout->addWidget(delimiters);
    textLayout->addLayout(textForm);
    formatLayout->addWidget(m_textOptions);
    m_textOptions->setEnabled(false);

    auto *fileLayout = new QHBoxLayout(m_fileFrame);
    fileLayout->addWidget(new QLabel(QStringLiteral("Enter File Name :")));
    fileLayout->addWidget(m_fileName, 1);
    fileLayout->addWidget(m_browse);
    m_fileName->setTextInteractionFlags(Qt::TextSelectableByMouse);
    connect(m_browse, &QPushButton::clicked, this, &ExportStep3Window::browse);

    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    auto *progressRow = new QHBoxLayout;
    progressRow->addWidget(m_progress, 1);
    progressRow->addWidget(m_percent);
    connect(m_back, &QPushButton::clicked, this, [this] { done(WizardBack); });
    connect(m_export, &QPushButton::clicked, this, &ExportStep3Window::startExport);
    connect(m_cancel, &QPushButton::clicked, this, &ExportStep3Window::reject);
    connect(m_job, &ExportJob::progress, this, &ExportStep3Window::showProgress);
    connect(m_job, &ExportJob::finished, this, &ExportStep3Window::exportEnded);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_formats);
    layout->addWidget(m_fileFrame);
    layout->addLayout(progressRow);
    layout->addWidget(m_update);
    layout->addLayout(buttonRow(m_back, m_export, m_cancel));
}

// The job, a child, cancels a running export and waits for its thread; nothing it still
// reports may reach this half-destroyed window.
ExportStep3Window::~ExportStep3Window()
{
    disconnect(m_job, nullptr, this, nullptr);
}

bool ExportStep3Window::isExporting() const
{
    return m_running;
}

ExportFormat ExportStep3Window::format() const
{
    if (m_csv->isChecked())
        return ExportFormat::Text;
    return m_excel->isChecked() ? ExportFormat::Workbook : ExportFormat::Database;
}

void ExportStep3Window::formatChosen()
{
    m_path.clear();
    m_fileName->clear();
    m_textOptions->setEnabled(m_csv->isChecked());
}

void ExportStep3Window::browse()
{
    const ExportFormat kind = format();
    const QString folder = m_path.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
                                            : QFileInfo(m_path).absolutePath();
    for (;;) {
        const QString chosen =
            m_chooser(this, folder, QStringLiteral("ReceivedSMSReport") + exportExtension(kind), fileFilter(kind))
                .trimmed();
        if (chosen.isEmpty())
            return; // a cancelled dialog keeps the file chosen before
        if (QFileInfo::exists(chosen)) {
            m_prompt.inform(fileExistsText(), Prompt::Icon::Information);
            continue;
        }
        if (!hasExportExtension(chosen, kind)) {
            m_prompt.inform(wrongExtensionText(kind), Prompt::Icon::None);
            continue;
        }
        if (Status s = createExportTarget(chosen, kind); !s) {
            m_prompt.inform(s.error, Prompt::Icon::Critical);
            return;
        }
        m_path = chosen;
        m_fileName->setText(QDir::toNativeSeparators(chosen));
        return;
    }
}

void ExportStep3Window::setRunning(bool running)
{
    for (QWidget *w : {static_cast<QWidget *>(m_export), static_cast<QWidget *>(m_formats),
                       static_cast<QWidget *>(m_fileFrame), static_cast<QWidget *>(m_back)})
        w->setEnabled(!running);
}

void ExportStep3Window::startExport()
{
    setRunning(true);
    m_progress->setValue(0);
    const QString columns = m_source.SqlExportSMS ? m_source.SqlExportSMS().trimmed() : QString();
    if (m_path.trimmed().isEmpty() || columns.isEmpty()) {
        m_prompt.inform(noFileText(), Prompt::Icon::None);
        setRunning(false);
        m_browse->setFocus();
        return;
    }
    ExportRequest request;
    request.from = m_source.from.startOfDay();
    request.to = QDateTime(m_source.to, QTime(23, 59, 59));
    request.fields = fieldsOf(columns);
    request.format = format();
    request.path = m_path;
    request.text.includeFieldNames = m_includeNames->isChecked();
    request.text.delimiter = m_delimiter;
    const int q = m_qualifier->currentIndex();
    request.text.qualifier = q == 0 ? QStringLiteral("\"") : q == 1 ? QStringLiteral("'") : QString();
    request.text.encoding = TextEncoding(m_encoding->currentData().toInt());
    m_update->clear();
    m_running = true;
    m_job->start(m_source.databasePath, request);
}

void ExportStep3Window::showProgress(qint64 written, qint64 total)
{
    const double percent = total > 0 ? std::min(100.0, double(written) * 100.0 / double(total)) : 0.0;
    m_progress->setValue(int(percent));
    m_percent->setText(
        (format() == ExportFormat::Database ? QString::number(percent) : QString::number(percent, 'f', 2)) +
        QStringLiteral(" %"));
    m_update->setText(QString::number(written) + QStringLiteral(" Records Exported."));
}

void ExportStep3Window::exportEnded(const ExportOutcome &outcome)
{
    m_running = false;
    const QString where = QStringLiteral("\r\n") + QDir::toNativeSeparators(m_path);
    const QString kept = QStringLiteral("\r\nThe rows written so far are kept in:") + where;
    switch (outcome.kind) {
    case ExportOutcome::Kind::Done:
        m_progress->setValue(100);
        m_percent->setText(QStringLiteral("100 %"));
        m_prompt.inform(successText() + where, Prompt::Icon::None);
        if (outcome.unencodable > 0) {
            m_prompt.inform(QStringLiteral("%1 characters have no place in Windows-1252 and were written as '?'.")
                                .arg(outcome.unencodable),
                            Prompt::Icon::Warning);
        }
        break;
    case ExportOutcome::Kind::NoRows:
        m_prompt.inform(QStringLiteral("No record found for exporting.\r\nOnly the field names were written to:") +
                            where,
                        Prompt::Icon::Warning);
        break;
    case ExportOutcome::Kind::Cancelled:
        m_prompt.inform(QStringLiteral("The export was cancelled after %1 records.").arg(outcome.written) + kept,
                        Prompt::Icon::Warning);
        break;
    case ExportOutcome::Kind::Failed:
        m_prompt.inform(
            QStringLiteral("The export failed after %1 records: %2").arg(outcome.written).arg(outcome.error) + kept,
            Prompt::Icon::Critical);
        if (!m_closeWhenEnded) {
            setRunning(false);
            return;
        }
        break;
    }
    QDialog::reject();
}

void ExportStep3Window::reject()
{
    if (!isExporting()) {
        QDialog::reject();
        return;
    }
    m_closeWhenEnded = true;
    m_cancel->setEnabled(false);
    m_job->cancel();
}

} // namespace parlix
