-- The sample novel shipped in the data directory, so that the first start
-- has something to show.
INSERT INTO 信息 (书名, 作者, 角色, 说明, 大纲, 封面)
  VALUES ('夜航船', '砚舟', '沈舟、林晚', '江南水乡的一段夜航往事。',
          '第一卷写出发，第二卷写归来。', :cover);
INSERT INTO 分卷 (分卷) VALUES ('第一卷 启程');
INSERT INTO 分卷 (分卷) VALUES ('第二卷 归来');
INSERT INTO 小说 (所属分卷, 章节名称, 章节内容, 章节附注)
  VALUES ('第一卷 启程', '第1章 渡口',
          '天色将晚，渡口只剩下一条船。' || char(13) || char(10) || '沈舟把缆绳解开，回头看了一眼镇子。',
          '人物初次登场。');
INSERT INTO 小说 (所属分卷, 章节名称, 章节内容, 章节附注)
  VALUES ('第一卷 启程', '第2章 夜雨', '雨是在半夜落下来的。', '章节附注');
INSERT INTO 小说 (所属分卷, 章节名称, 章节内容, 章节附注)
  VALUES ('第二卷 归来', '第3章 灯火', '远远地，他看见了岸上的灯火。', '章节附注');
