-- The visit database as delivered: one table per crawler engine, fourteen text fields each,
-- all of which may stay empty. Records are only ever appended. Pages of 16 KiB take a run's
-- appends in a quarter of the writes that the default size needs.
PRAGMA page_size = 16384;
CREATE TABLE baidu (sdate TEXT, stime TEXT, sitename TEXT, sip TEXT, csmethod TEXT, csuristem TEXT, csuriquery TEXT, sport TEXT, csusername TEXT, cip TEXT, UserAgent TEXT, scstatus TEXT, scsubstatus TEXT, scwin32status TEXT);
CREATE TABLE google (sdate TEXT, stime TEXT, sitename TEXT, sip TEXT, csmethod TEXT, csuristem TEXT, csuriquery TEXT, sport TEXT, csusername TEXT, cip TEXT, UserAgent TEXT, scstatus TEXT, scsubstatus TEXT, scwin32status TEXT);
CREATE TABLE yahoo (sdate TEXT, stime TEXT, sitename TEXT, sip TEXT, csmethod TEXT, csuristem TEXT, csuriquery TEXT, sport TEXT, csusername TEXT, cip TEXT, UserAgent TEXT, scstatus TEXT, scsubstatus TEXT, scwin32status TEXT);
CREATE TABLE sogou (sdate TEXT, stime TEXT, sitename TEXT, sip TEXT, csmethod TEXT, csuristem TEXT, csuriquery TEXT, sport TEXT, csusername TEXT, cip TEXT, UserAgent TEXT, scstatus TEXT, scsubstatus TEXT, scwin32status TEXT);
CREATE TABLE msn (sdate TEXT, stime TEXT, sitename TEXT, sip TEXT, csmethod TEXT, csuristem TEXT, csuriquery TEXT, sport TEXT, csusername TEXT, cip TEXT, UserAgent TEXT, scstatus TEXT, scsubstatus TEXT, scwin32status TEXT);
-- Every other known crawler's visits: the same fourteen fields, then the crawler's name.
CREATE TABLE othercrawlers (sdate TEXT, stime TEXT, sitename TEXT, sip TEXT, csmethod TEXT, csuristem TEXT, csuriquery TEXT, sport TEXT, csusername TEXT, cip TEXT, UserAgent TEXT, scstatus TEXT, scsubstatus TEXT, scwin32status TEXT, crawler TEXT);
