-- The catalogue: three levels of nodes and the aphorisms filed under the third.
-- Keys are row ids assigned by the database and never reused (AUTOINCREMENT),
-- so ordering aphorisms by NMB4 is ordering them by the time they were entered.
-- Text columns are nullable: new rows are stored before the user fills them in.
-- TB4 must begin with NMB3, NMB4: duplication copies the columns after them.
PRAGMA encoding = 'UTF-8';

CREATE TABLE TB0 (
    NMB1   INTEGER PRIMARY KEY AUTOINCREMENT,
    GROUP1 VARCHAR(255)
);

CREATE TABLE TB1 (
    NMB2   INTEGER PRIMARY KEY AUTOINCREMENT,
    NMB1   INTEGER,
    GROUP2 VARCHAR(255)
);
CREATE INDEX TB1_NMB1 ON TB1 (NMB1);

CREATE TABLE TB2 (
    NMB3   INTEGER PRIMARY KEY AUTOINCREMENT,
    NMB2   INTEGER,
    GROUP3 VARCHAR(255)
);
CREATE INDEX TB2_NMB2 ON TB2 (NMB2);

CREATE TABLE TB4 (
    NMB3    INTEGER,
    NMB4    INTEGER PRIMARY KEY AUTOINCREMENT,
    AUTHOR  VARCHAR(255),
    AFORIZM TEXT,
    SOURCE  VARCHAR(255)
);
CREATE INDEX TB4_NMB3 ON TB4 (NMB3);
-- The aphorism list of a node is sorted by author unless the user chose the date.
CREATE INDEX TB4_NMB3_AUTHOR ON TB4 (NMB3, AUTHOR);
