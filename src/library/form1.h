// Form1, the novel information dialog: shows and changes the title,
// characters, author, description, outline and cover of the chosen novel.
#pragma once

#include "store/data_source.h"
#include "ui/common_dialog.h"

#include <QVariant>
#include <QWidget>

struct AppContext;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class Form1 : public QWidget
{
    Q_OBJECT
public:
    explicit Form1(AppContext &ctx, QWidget *parent = nullptr);

    QLabel *Label1 = nullptr;        // "名称："
    QLabel *Label2 = nullptr;        // "角色："
    QLabel *Label3 = nullptr;        // "作者："
    QLabel *Label4 = nullptr;        // "说明："
    QLabel *Label5 = nullptr;        // "大纲"
    QLabel *Label6 = nullptr;        // "封面："
    QLabel *Label7 = nullptr;        // the file whose bytes become the cover
    QLineEdit *Text1 = nullptr;      // 书名
    QLineEdit *Text2 = nullptr;      // 角色
    QLineEdit *Text3 = nullptr;      // 作者
    QLineEdit *Text4 = nullptr;      // 说明
    QPlainTextEdit *Text5 = nullptr; // 大纲
    QPushButton *Command1 = nullptr; // "--"
    QPushButton *Command2 = nullptr; // "保存"
    QPushButton *Command3 = nullptr; // "取消"
    CommonDialog CommonDialog1;
    DataSource Data1;

public slots:
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();

private:
    static constexpr int kFields = 5;

    void Form_Load();
    bool loadNovel();
    void reportUnreadable();
    void backToLibrary();
    QString boxText(int i) const;
    void setBoxText(int i, const QString &text);

    AppContext &m_ctx;
    bool m_loaded = false;
    QString m_loadError;
    // Each box's field as stored and the text the box showed for it: a box
    // left as it was gives back the stored value exactly.
    QVariant m_stored[kFields];
    QString m_shown[kFields];
    // Label7 as loaded: the cover buffer, or empty when it could not be made.
    QString m_shownCover;
};
