// frm_new, "新建小说": makes a novel from the template with the title,
// characters, author, description, outline and cover the user enters.
#pragma once

#include "store/data_source.h"
#include "ui/common_dialog.h"

#include <QWidget>

struct AppContext;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class frm_new : public QWidget
{
    Q_OBJECT
public:
    explicit frm_new(AppContext &ctx, QWidget *parent = nullptr);

    QLabel *Label1 = nullptr;        // "名称："
    QLabel *Label2 = nullptr;        // "角色："
    QLabel *Label3 = nullptr;        // "作者："
    QLabel *Label4 = nullptr;        // "说明："
    QLabel *Label5 = nullptr;        // "大纲"
    QLabel *Label6 = nullptr;        // "封面："
    QLabel *Label7 = nullptr;        // the chosen cover file
    QLabel *Label8 = nullptr;        // the hint on the cover's size
    QLineEdit *Text1 = nullptr;      // 书名
    QLineEdit *Text2 = nullptr;      // 角色
    QLineEdit *Text3 = nullptr;      // 作者
    QLineEdit *Text4 = nullptr;      // 说明
    QPlainTextEdit *Text5 = nullptr; // 大纲
    QPushButton *Command1 = nullptr; // "选择"
    QPushButton *Command2 = nullptr; // "创建"
    QPushButton *Command3 = nullptr; // "取消"
    CommonDialog CommonDialog1;
    DataSource Data1;

public slots:
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();

private:
    void Form_Load();
    // Back to a freshly loaded library.
    void backToLibrary();
    bool titleTaken(const QString &prefix, const QString &title);
    // Why the title may not become the novel's file name; empty when it may.
    QString refusalForTitle(const QString &prefix, const QString &title) const;
    // The cover bytes to store: the chosen picture or 默认.jpg; empty when
    // neither can be read and the template's cover stays.
    QByteArray coverBytes();
    bool createNovel(const QString &prefix, const QString &target, const QByteArray &cover, QString *why);
    bool fillInformation(const QString &path, const QByteArray &cover);
    void tell(const QString &text);

    AppContext &m_ctx;
};
