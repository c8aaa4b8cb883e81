-- The three tables of a novel file. Text is kept in UTF-16, the form the
-- editor holds it in, and the file is written ahead through a log so that a
-- stored keystroke survives a crash. Every keystroke in the editor stores the
-- whole chapter; pages of 16 KiB write a long chapter in a quarter as many
-- pieces as 4 KiB pages would, which halves the time a keystroke takes.
PRAGMA page_size = 16384;
PRAGMA encoding = 'UTF-16le';
PRAGMA journal_mode = WAL;
CREATE TABLE 信息 (
  书名 TEXT,
  作者 TEXT,
  角色 TEXT,
  说明 TEXT,
  大纲 TEXT,
  封面 BLOB
);
CREATE TABLE 分卷 (
  分卷 TEXT
);
CREATE TABLE 小说 (
  编号 INTEGER PRIMARY KEY AUTOINCREMENT,
  所属分卷 TEXT,
  章节名称 TEXT,
  章节内容 TEXT,
  章节附注 TEXT
);
