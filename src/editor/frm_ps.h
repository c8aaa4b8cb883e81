// frm_ps, "章节附注": the notes of the chapter manager's current chapter,
// stored on "保存" and asked about before unsaved changes are closed away.
#pragma once

#include <QDialog>

struct AppContext;
class DataSource;
class QPlainTextEdit;
class QPushButton;

class frm_ps : public QDialog
{
    Q_OBJECT
public:
    // source is the chapter manager's data source, standing on the chapter.
    frm_ps(AppContext &ctx, DataSource &source, QWidget *parent = nullptr);

    // False when the notes could not be read from the novel file.
    bool isLoaded() const { return m_loaded; }

    QPlainTextEdit *Text1 = nullptr;
    QPushButton *Command1 = nullptr; // 保存
    QPushButton *Command2 = nullptr; // 关闭

public slots:
    void Command1_Click();
    void Command2_Click();
    // Every close comes through here.
    void done(int result) override;

private:
    void Form_Load();
    // Unload: false when the window must stay open to keep the notes.
    bool Form_Unload();
    bool storeNotes();

    AppContext &m_ctx;
    DataSource &m_data;
    // The chapter whose notes these are: a store goes to it or fails.
    qint64 m_chapterId = -1;
    // The notes as last read or stored: while the box shows them unchanged,
    // there is nothing to store.
    QString m_shown;
    bool m_loaded = false;
};
