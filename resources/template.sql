-- The first records of every new novel: the information record (filled in
-- by the new-novel dialog), one volume and one chapter of that volume.
INSERT INTO 信息 (书名, 作者, 角色, 说明, 大纲, 封面)
  VALUES ('未命名小说', '佚名', '主角', '一部新小说', '在这里写下故事的大纲。', :cover);
INSERT INTO 分卷 (分卷) VALUES ('第一卷');
INSERT INTO 小说 (所属分卷, 章节名称, 章节内容, 章节附注)
  VALUES ('第一卷', '第一章', '章节内容', '章节附注');
