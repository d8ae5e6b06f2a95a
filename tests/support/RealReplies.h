#pragma once

// Raw control-connection bytes of real servers' replies, line ends
// included, captured on 127.0.0.1 from Debian 12's packages:
// vsftpd 3.0.3-13+b2, proftpd 1.3.8+dfsg-4+deb12u5, pure-ftpd 1.0.50-2.1+b2, pyftpdlib 1.5.7-3.
// Made by tests/support/capture/capture_replies.cpp (run as root):
//   build/tests/capture_replies > tests/support/RealReplies.h
// Passive ports, times and sizes are those of the capture run.
// A command "X/final" is the reply that ends the transfer X started.

#include <QByteArray>
#include <vector>

struct RealReply {
    const char* server;
    const char* command;
    QByteArray bytes;
};

inline const std::vector<RealReply>& realReplies() {
    // clang-format off
    static const std::vector<RealReply> rows = {
        {"vsftpd", "(greeting)",
         QByteArray("220-Welcome to the Krellin test server.\r\n"
             "220-This banner has three lines;\r\n"
             "220-  the last one is indented.\r\n"
             "220 \r\n", 114)},
        {"vsftpd", "USER",
         QByteArray("230 Login successful.\r\n", 23)},
        {"vsftpd", "PASS",
         QByteArray("230 Already logged in.\r\n", 24)},
        {"vsftpd", "SYST",
         QByteArray("215 UNIX Type: L8\r\n", 19)},
        {"vsftpd", "FEAT",
         QByteArray("211-Features:\r\n"
             " EPRT\r\n"
             " EPSV\r\n"
             " MDTM\r\n"
             " PASV\r\n"
             " REST STREAM\r\n"
             " SIZE\r\n"
             " TVFS\r\n"
             "211 End\r\n", 80)},
        {"vsftpd", "HELP",
         QByteArray("214-The following commands are recognized.\r\n"
             " ABOR ACCT ALLO APPE CDUP CWD  DELE EPRT EPSV FEAT HELP LIST MDTM MKD\r\n"
             " MODE NLST NOOP OPTS PASS PASV PORT PWD  QUIT REIN REST RETR RMD  RNFR\r\n"
             " RNTO SITE SIZE SMNT STAT STOR STOU STRU SYST TYPE USER XCUP XCWD XMKD\r\n"
             " XPWD XRMD\r\n"
             "214 Help OK.\r\n", 285)},
        {"vsftpd", "STAT",
         QByteArray("211-FTP server status:\r\n"
             "     Connected to 127.0.0.1\r\n"
             "     Logged in as ftp\r\n"
             "     TYPE: ASCII\r\n"
             "     No session bandwidth limit\r\n"
             "     Session timeout in seconds is 600\r\n"
             "     Control connection is plain text\r\n"
             "     Data connections will be plain text\r\n"
             "     At session startup, client count was 1\r\n"
             "     vsFTPd 3.0.3 - secure, fast, stable\r\n"
             "211 End of status\r\n", 354)},
        {"vsftpd", "PWD",
         QByteArray("257 \"/\" is the current directory\r\n", 34)},
        {"vsftpd", "NOOP",
         QByteArray("200 NOOP ok.\r\n", 14)},
        {"vsftpd", "TYPE I",
         QByteArray("200 Switching to Binary mode.\r\n", 31)},
        {"vsftpd", "TYPE A",
         QByteArray("200 Switching to ASCII mode.\r\n", 30)},
        {"vsftpd", "SIZE hello.txt",
         QByteArray("213 51\r\n", 8)},
        {"vsftpd", "MDTM hello.txt",
         QByteArray("213 20261208054937\r\n", 20)},
        {"vsftpd", "CWD nosuch",
         QByteArray("550 Failed to change directory.\r\n", 33)},
        {"vsftpd", "CWD incoming",
         QByteArray("250 Directory successfully changed.\r\n", 37)},
        {"vsftpd", "CDUP",
         QByteArray("250 Directory successfully changed.\r\n", 37)},
        {"vsftpd", "MKD incoming/made",
         QByteArray("257 \"/incoming/made\" created\r\n", 30)},
        {"vsftpd", "MKD incoming/made",
         QByteArray("550 Create directory operation failed.\r\n", 40)},
        {"vsftpd", "RNFR incoming/made",
         QByteArray("350 Ready for RNTO.\r\n", 21)},
        {"vsftpd", "RNTO incoming/renamed",
         QByteArray("250 Rename successful.\r\n", 24)},
        {"vsftpd", "RMD incoming/renamed",
         QByteArray("250 Remove directory operation successful.\r\n", 44)},
        {"vsftpd", "DELE nosuch",
         QByteArray("550 Delete operation failed.\r\n", 30)},
        {"vsftpd", "REST 100",
         QByteArray("350 Restart position accepted (100).\r\n", 38)},
        {"vsftpd", "REST 0",
         QByteArray("350 Restart position accepted (0).\r\n", 36)},
        {"vsftpd", "XYZZY",
         QByteArray("500 Unknown command.\r\n", 22)},
        {"vsftpd", "ABOR",
         QByteArray("225 No transfer to ABOR.\r\n", 26)},
        {"vsftpd", "PASV",
         QByteArray("227 Entering Passive Mode (127,0,0,1,101,255).\r\n", 48)},
        {"vsftpd", "LIST",
         QByteArray("150 Here comes the directory listing.\r\n", 39)},
        {"vsftpd", "LIST/final",
         QByteArray("226 Directory send OK.\r\n", 24)},
        {"vsftpd", "PASV",
         QByteArray("227 Entering Passive Mode (127,0,0,1,101,215).\r\n", 48)},
        {"vsftpd", "LIST -al",
         QByteArray("150 Here comes the directory listing.\r\n", 39)},
        {"vsftpd", "LIST -al/final",
         QByteArray("226 Directory send OK.\r\n", 24)},
        {"vsftpd", "PASV",
         QByteArray("227 Entering Passive Mode (127,0,0,1,102,22).\r\n", 47)},
        {"vsftpd", "NLST",
         QByteArray("150 Here comes the directory listing.\r\n", 39)},
        {"vsftpd", "NLST/final",
         QByteArray("226 Directory send OK.\r\n", 24)},
        {"vsftpd", "TYPE I",
         QByteArray("200 Switching to Binary mode.\r\n", 31)},
        {"vsftpd", "PASV",
         QByteArray("227 Entering Passive Mode (127,0,0,1,102,14).\r\n", 47)},
        {"vsftpd", "RETR hello.txt",
         QByteArray("150 Opening BINARY mode data connection for hello.txt (51 bytes).\r\n", 67)},
        {"vsftpd", "RETR hello.txt/final",
         QByteArray("226 Transfer complete.\r\n", 24)},
        {"vsftpd", "PASV",
         QByteArray("227 Entering Passive Mode (127,0,0,1,102,40).\r\n", 47)},
        {"vsftpd", "RETR nosuch",
         QByteArray("550 Failed to open file.\r\n", 26)},
        {"vsftpd", "PASV",
         QByteArray("227 Entering Passive Mode (127,0,0,1,102,9).\r\n", 46)},
        {"vsftpd", "STOR incoming/up.txt",
         QByteArray("150 Ok to send data.\r\n", 22)},
        {"vsftpd", "STOR incoming/up.txt/final",
         QByteArray("226 Transfer complete.\r\n", 24)},
        {"vsftpd", "DELE incoming/up.txt",
         QByteArray("250 Delete operation successful.\r\n", 34)},
        {"vsftpd", "QUIT",
         QByteArray("221 Goodbye.\r\n", 14)},
        {"vsftpd", "(greeting without a banner file)",
         QByteArray("220 Krellin test vsftpd\r\n", 25)},
        {"vsftpd", "(greeting past the limit on clients)",
         QByteArray("421 There are too many connected users, please try later.\r\n", 59)},
        {"proftpd", "(greeting)",
         QByteArray("220-Welcome to the Krellin test server.\r\n"
             " This banner has three lines;\r\n"
             "   the last one is indented.\r\n"
             "220 ProFTPD Server (Krellin test proftpd) [127.0.0.1]\r\n", 157)},
        {"proftpd", "USER",
         QByteArray("331 Password required for krellin\r\n", 35)},
        {"proftpd", "PASS",
         QByteArray("230-Logged in to the Krellin test server.\r\n"
             " Files in incoming/ may go at any time.\r\n"
             " Enjoy your stay.\r\n"
             "230 User krellin logged in\r\n", 131)},
        {"proftpd", "SYST",
         QByteArray("215 UNIX Type: L8\r\n", 19)},
        {"proftpd", "FEAT",
         QByteArray("211-Features:\r\n"
             " CLNT\r\n"
             " CSID\r\n"
             " EPRT\r\n"
             " EPSV\r\n"
             " HOST\r\n"
             " LANG C.UTF-8*\r\n"
             " MDTM\r\n"
             " MFF modify;UNIX.group;UNIX.mode;\r\n"
             " MFMT\r\n"
             " MLST modify*;perm*;size*;type*;unique*;UNIX.group*;UNIX.groupname*;UNIX.mode*;UNIX.owner*;UNIX.ownername*;\r\n"
             " RANG STREAM\r\n"
             " REST STREAM\r\n"
             " SIZE\r\n"
             " TVFS\r\n"
             " UTF8\r\n"
             "211 End\r\n", 282)},
        {"proftpd", "HELP",
         QByteArray("214-The following commands are recognized (* =>'s unimplemented):\r\n"
             " CWD     XCWD    CDUP    XCUP    SMNT*   QUIT    PORT    PASV    \r\n"
             " EPRT    EPSV    ALLO    RNFR    RNTO    DELE    MDTM    RMD     \r\n"
             " XRMD    MKD     XMKD    PWD     XPWD    SIZE    SYST    HELP    \r\n"
             " NOOP    FEAT    OPTS    HOST    CLNT    AUTH*   CCC*    CONF*   \r\n"
             " ENC*    MIC*    PBSZ*   PROT*   TYPE    STRU    MODE    RETR    \r\n"
             " STOR    STOU    APPE    REST    ABOR    RANG    USER    PASS    \r\n"
             " ACCT*   REIN*   LIST    NLST    STAT    SITE    MLSD    MLST    \r\n"
             "214 Direct comments to root@127.0.0.1\r\n", 575)},
        {"proftpd", "STAT",
         QByteArray("211-Status of 'Krellin test proftpd'\r\n"
             " Connected from 127.0.0.1 (127.0.0.1)\r\n"
             " Logged in as krellin\r\n"
             " TYPE: ASCII, STRUcture: File, Mode: Stream\r\n"
             " No data connection\r\n"
             "211 End of status\r\n", 185)},
        {"proftpd", "PWD",
         QByteArray("257 \"/\" is the current directory\r\n", 34)},
        {"proftpd", "NOOP",
         QByteArray("200 NOOP command successful\r\n", 29)},
        {"proftpd", "TYPE I",
         QByteArray("200 Type set to I\r\n", 19)},
        {"proftpd", "TYPE A",
         QByteArray("200 Type set to A\r\n", 19)},
        {"proftpd", "SIZE hello.txt",
         QByteArray("550 SIZE not allowed in ASCII mode\r\n", 36)},
        {"proftpd", "MDTM hello.txt",
         QByteArray("213 20261208054938\r\n", 20)},
        {"proftpd", "CWD nosuch",
         QByteArray("550 nosuch: No such file or directory\r\n", 39)},
        {"proftpd", "CWD incoming",
         QByteArray("250 CWD command successful\r\n", 28)},
        {"proftpd", "CDUP",
         QByteArray("250 CDUP command successful\r\n", 29)},
        {"proftpd", "MKD incoming/made",
         QByteArray("257 \"/incoming/made\" - Directory successfully created\r\n", 55)},
        {"proftpd", "MKD incoming/made",
         QByteArray("550 incoming/made: File exists\r\n", 32)},
        {"proftpd", "RNFR incoming/made",
         QByteArray("350 File or directory exists, ready for destination name\r\n", 58)},
        {"proftpd", "RNTO incoming/renamed",
         QByteArray("250 Rename successful\r\n", 23)},
        {"proftpd", "RMD incoming/renamed",
         QByteArray("250 RMD command successful\r\n", 28)},
        {"proftpd", "DELE nosuch",
         QByteArray("550 nosuch: No such file or directory\r\n", 39)},
        {"proftpd", "REST 100",
         QByteArray("501 REST: Resuming transfers not allowed in ASCII mode\r\n", 56)},
        {"proftpd", "REST 0",
         QByteArray("350 Restarting at 0. Send STORE or RETRIEVE to initiate transfer\r\n", 66)},
        {"proftpd", "XYZZY",
         QByteArray("500 XYZZY not understood\r\n", 26)},
        {"proftpd", "ABOR",
         QByteArray("226 Abort successful\r\n", 22)},
        {"proftpd", "PASV",
         QByteArray("227 Entering Passive Mode (127,0,0,1,229,143).\r\n", 48)},
        {"proftpd", "LIST",
         QByteArray("150 Opening ASCII mode data connection for file list\r\n", 54)},
        {"proftpd", "LIST/final",
         QByteArray("226 Transfer complete\r\n", 23)},
        {"proftpd", "PASV",
         QByteArray("227 Entering Passive Mode (127,0,0,1,229,224).\r\n", 48)},
        {"proftpd", "LIST -al",
         QByteArray("150 Opening ASCII mode data connection for file list\r\n", 54)},
        {"proftpd", "LIST -al/final",
         QByteArray("226 Transfer complete\r\n", 23)},
        {"proftpd", "PASV",
         QByteArray("227 Entering Passive Mode (127,0,0,1,229,152).\r\n", 48)},
        {"proftpd", "NLST",
         QByteArray("150 Opening ASCII mode data connection for file list\r\n", 54)},
        {"proftpd", "NLST/final",
         QByteArray("226 Transfer complete\r\n", 23)},
        {"proftpd", "TYPE I",
         QByteArray("200 Type set to I\r\n", 19)},
        {"proftpd", "PASV",
         QByteArray("227 Entering Passive Mode (127,0,0,1,229,214).\r\n", 48)},
        {"proftpd", "RETR hello.txt",
         QByteArray("150 Opening BINARY mode data connection for hello.txt (51 bytes)\r\n", 66)},
        {"proftpd", "RETR hello.txt/final",
         QByteArray("226 Transfer complete\r\n", 23)},
        {"proftpd", "PASV",
         QByteArray("227 Entering Passive Mode (127,0,0,1,229,99).\r\n", 47)},
        {"proftpd", "RETR nosuch",
         QByteArray("550 nosuch: No such file or directory\r\n", 39)},
        {"proftpd", "PASV",
         QByteArray("227 Entering Passive Mode (127,0,0,1,229,115).\r\n", 48)},
        {"proftpd", "STOR incoming/up.txt",
         QByteArray("150 Opening BINARY mode data connection for incoming/up.txt\r\n", 61)},
        {"proftpd", "STOR incoming/up.txt/final",
         QByteArray("226 Transfer complete\r\n", 23)},
        {"proftpd", "DELE incoming/up.txt",
         QByteArray("250 DELE command successful\r\n", 29)},
        {"proftpd", "QUIT",
         QByteArray("221 Goodbye.\r\n", 14)},
        {"proftpd", "(greeting without a banner file)",
         QByteArray("220 ProFTPD Server (Krellin test proftpd) [127.0.0.1]\r\n", 55)},
        {"proftpd", "(greeting past the limit on clients)",
         QByteArray("220 ProFTPD Server (Krellin test proftpd) [127.0.0.1]\r\n", 55)},
        {"proftpd", "USER (past the limit on clients)",
         QByteArray("331 Password required for krellin\r\n", 35)},
        {"proftpd", "PASS (past the limit on clients)",
         QByteArray("530 Sorry, the maximum number of allowed clients (1) are already connected.\r\n", 77)},
        {"pure-ftpd", "(greeting)",
         QByteArray("220-Welcome to the Krellin test server.\r\n"
             "220-This banner has three lines;\r\n"
             "220-  the last one is indented.\r\n"
             "220 This is a private system - No anonymous login\r\n", 159)},
        {"pure-ftpd", "USER",
         QByteArray("331 User krellin OK. Password required\r\n", 40)},
        {"pure-ftpd", "PASS",
         QByteArray("230-OK. Current directory is /\r\n"
             "230-Logged in to the Krellin test server.\r\n"
             "230-Files in incoming/ may go at any time.\r\n"
             "230 Enjoy your stay.\r\n", 141)},
        {"pure-ftpd", "SYST",
         QByteArray("215 UNIX Type: L8\r\n", 19)},
        {"pure-ftpd", "FEAT",
         QByteArray("211-Extensions supported:\r\n"
             " UTF8\r\n"
             " EPRT\r\n"
             " IDLE\r\n"
             " MDTM\r\n"
             " SIZE\r\n"
             " MFMT\r\n"
             " REST STREAM\r\n"
             " MLST type*;size*;sizd*;modify*;UNIX.mode*;UNIX.uid*;UNIX.gid*;unique*;\r\n"
             " MLSD\r\n"
             " PRET\r\n"
             " AUTH TLS\r\n"
             " PBSZ\r\n"
             " PROT\r\n"
             " TVFS\r\n"
             " ESTA\r\n"
             " PASV\r\n"
             " EPSV\r\n"
             " ESTP\r\n"
             "211 End.\r\n", 240)},
        {"pure-ftpd", "HELP",
         QByteArray("214-The following SITE commands are recognized\r\n"
             " ALIAS\r\n"
             " CHMOD\r\n"
             " IDLE\r\n"
             " UTIME\r\n"
             "214 Pure-FTPd - http://pureftpd.org/\r\n", 117)},
        {"pure-ftpd", "STAT",
         QByteArray("211 https://www.pureftpd.org/\r\n", 31)},
        {"pure-ftpd", "PWD",
         QByteArray("257 \"/\" is your current location\r\n", 34)},
        {"pure-ftpd", "NOOP",
         QByteArray("200 Zzz...\r\n", 12)},
        {"pure-ftpd", "TYPE I",
         QByteArray("200 TYPE is now 8-bit binary\r\n", 30)},
        {"pure-ftpd", "TYPE A",
         QByteArray("200 TYPE is now ASCII\r\n", 23)},
        {"pure-ftpd", "SIZE hello.txt",
         QByteArray("213 51\r\n", 8)},
        {"pure-ftpd", "MDTM hello.txt",
         QByteArray("213 20261208054939\r\n", 20)},
        {"pure-ftpd", "CWD nosuch",
         QByteArray("550 Can't change directory to nosuch: No such file or directory\r\n", 65)},
        {"pure-ftpd", "CWD incoming",
         QByteArray("250 OK. Current directory is /incoming\r\n", 40)},
        {"pure-ftpd", "CDUP",
         QByteArray("250 OK. Current directory is /\r\n", 32)},
        {"pure-ftpd", "MKD incoming/made",
         QByteArray("257 \"incoming/made\" : The directory was successfully created\r\n", 62)},
        {"pure-ftpd", "MKD incoming/made",
         QByteArray("550 Can't create directory: File exists\r\n", 41)},
        {"pure-ftpd", "RNFR incoming/made",
         QByteArray("350 RNFR accepted - file exists, ready for destination\r\n", 56)},
        {"pure-ftpd", "RNTO incoming/renamed",
         QByteArray("250 File successfully renamed or moved\r\n", 40)},
        {"pure-ftpd", "RMD incoming/renamed",
         QByteArray("250 The directory was successfully removed\r\n", 44)},
        {"pure-ftpd", "DELE nosuch",
         QByteArray("550 Could not delete nosuch: No such file or directory\r\n", 56)},
        {"pure-ftpd", "REST 100",
         QByteArray("350 Restarting at 100. But we're in ASCII mode\r\n", 48)},
        {"pure-ftpd", "REST 0",
         QByteArray("350 Restarting at 0\r\n", 21)},
        {"pure-ftpd", "XYZZY",
         QByteArray("500 Unknown command\r\n", 21)},
        {"pure-ftpd", "ABOR",
         QByteArray("226 Since you see this ABOR must've succeeded\r\n", 47)},
        {"pure-ftpd", "PASV",
         QByteArray("227 Entering Passive Mode (127,0,0,1,83,56)\r\n", 45)},
        {"pure-ftpd", "LIST",
         QByteArray("150 Accepted data connection\r\n", 30)},
        {"pure-ftpd", "LIST/final",
         QByteArray("226-Options: -l \r\n"
             "226 2 matches total\r\n", 39)},
        {"pure-ftpd", "PASV",
         QByteArray("227 Entering Passive Mode (127,0,0,1,83,102)\r\n", 46)},
        {"pure-ftpd", "LIST -al",
         QByteArray("150 Accepted data connection\r\n", 30)},
        {"pure-ftpd", "LIST -al/final",
         QByteArray("226-Options: -a -l \r\n"
             "226 6 matches total\r\n", 42)},
        {"pure-ftpd", "PASV",
         QByteArray("227 Entering Passive Mode (127,0,0,1,83,102)\r\n", 46)},
        {"pure-ftpd", "NLST",
         QByteArray("150 Accepted data connection\r\n", 30)},
        {"pure-ftpd", "NLST/final",
         QByteArray("226 6 matches total\r\n", 21)},
        {"pure-ftpd", "TYPE I",
         QByteArray("200 TYPE is now 8-bit binary\r\n", 30)},
        {"pure-ftpd", "PASV",
         QByteArray("227 Entering Passive Mode (127,0,0,1,82,237)\r\n", 46)},
        {"pure-ftpd", "RETR hello.txt",
         QByteArray("150 Accepted data connection\r\n", 30)},
        {"pure-ftpd", "RETR hello.txt/final",
         QByteArray("226-File successfully transferred\r\n"
             "226 0.000 seconds (measured here), 291.35 Kbytes per second\r\n", 96)},
        {"pure-ftpd", "PASV",
         QByteArray("227 Entering Passive Mode (127,0,0,1,83,10)\r\n", 45)},
        {"pure-ftpd", "RETR nosuch",
         QByteArray("550 Can't open nosuch: No such file or directory\r\n", 50)},
        {"pure-ftpd", "PASV",
         QByteArray("227 Entering Passive Mode (127,0,0,1,83,85)\r\n", 45)},
        {"pure-ftpd", "STOR incoming/up.txt",
         QByteArray("150 Accepted data connection\r\n", 30)},
        {"pure-ftpd", "STOR incoming/up.txt/final",
         QByteArray("226-File successfully transferred\r\n"
             "226 0.000 seconds (measured here), 42.58 Kbytes per second\r\n", 95)},
        {"pure-ftpd", "DELE incoming/up.txt",
         QByteArray("250 Deleted incoming/up.txt\r\n", 29)},
        {"pure-ftpd", "QUIT",
         QByteArray("221-Goodbye. You uploaded 1 and downloaded 1 kbytes.\r\n"
             "221 Logout.\r\n", 67)},
        {"pure-ftpd", "(greeting without a banner file)",
         QByteArray("220---------- Welcome to Pure-FTPd [privsep] [TLS] ----------\r\n"
             "220-You are user number 1 of 1 allowed.\r\n"
             "220-Local time is now 05:49. Server port: 42999.\r\n"
             "220-This is a private system - No anonymous login\r\n"
             "220-IPv6 connections are also welcome on this server.\r\n"
             "220 You will be disconnected after 15 minutes of inactivity.\r\n", 322)},
        {"pure-ftpd", "(greeting past the limit on clients)",
         QByteArray("421 1 users (the maximum) are already logged in, sorry\r\n", 56)},
        {"pyftpdlib", "(greeting)",
         QByteArray("220-Welcome to the Krellin test server.\n"
             "This banner has three lines;\n"
             "  the last one is indented.\r\n"
             "220 \r\n", 104)},
        {"pyftpdlib", "USER",
         QByteArray("331 Username ok, send password.\r\n", 33)},
        {"pyftpdlib", "PASS",
         QByteArray("230-Logged in to the Krellin test server.\n"
             "Files in incoming/ may go at any time.\n"
             "Enjoy your stay.\r\n"
             "230 \r\n", 105)},
        {"pyftpdlib", "SYST",
         QByteArray("215 UNIX Type: L8\r\n", 19)},
        {"pyftpdlib", "FEAT",
         QByteArray("211-Features supported:\r\n"
             " EPRT\r\n"
             " EPSV\r\n"
             " MDTM\r\n"
             " MFMT\r\n"
             " MLST type*;perm*;size*;modify*;unique*;unix.mode;unix.uid;unix.gid;\r\n"
             " REST STREAM\r\n"
             " SIZE\r\n"
             " TVFS\r\n"
             " UTF8\r\n"
             "211 End FEAT.\r\n", 173)},
        {"pyftpdlib", "HELP",
         QByteArray("214-The following commands are recognized:\r\n"
             " ABOR   ALLO   APPE   CDUP   CWD    DELE   EPRT   EPSV  \r\n"
             " FEAT   HELP   LIST   MDTM   MFMT   MKD    MLSD   MLST  \r\n"
             " MODE   NLST   NOOP   OPTS   PASS   PASV   PORT   PWD   \r\n"
             " QUIT   REIN   REST   RETR   RMD    RNFR   RNTO   SITE  \r\n"
             " SIZE   STAT   STOR   STOU   STRU   SYST   TYPE   USER  \r\n"
             " XCUP   XCWD   XMKD   XPWD   XRMD  \r\n"
             "214 Help command successful.\r\n", 401)},
        {"pyftpdlib", "STAT",
         QByteArray("211-FTP server status:\r\n"
             " Connected to: 127.0.0.1:46097\r\n"
             " Logged in as: user\r\n"
             " TYPE: ASCII; STRUcture: File; MODE: Stream\r\n"
             " Data connection closed.\r\n"
             "211 End of status.\r\n", 168)},
        {"pyftpdlib", "PWD",
         QByteArray("257 \"/\" is the current directory.\r\n", 35)},
        {"pyftpdlib", "NOOP",
         QByteArray("200 I successfully did nothing'.\r\n", 34)},
        {"pyftpdlib", "TYPE I",
         QByteArray("200 Type set to: Binary.\r\n", 26)},
        {"pyftpdlib", "TYPE A",
         QByteArray("200 Type set to: ASCII.\r\n", 25)},
        {"pyftpdlib", "SIZE hello.txt",
         QByteArray("550 SIZE not allowed in ASCII mode.\r\n", 37)},
        {"pyftpdlib", "MDTM hello.txt",
         QByteArray("213 20261208054940\r\n", 20)},
        {"pyftpdlib", "CWD nosuch",
         QByteArray("550 No such file or directory.\r\n", 32)},
        {"pyftpdlib", "CWD incoming",
         QByteArray("250 \"/incoming\" is the current directory.\r\n", 43)},
        {"pyftpdlib", "CDUP",
         QByteArray("250 \"/\" is the current directory.\r\n", 35)},
        {"pyftpdlib", "MKD incoming/made",
         QByteArray("257 \"/incoming/made\" directory created.\r\n", 41)},
        {"pyftpdlib", "MKD incoming/made",
         QByteArray("550 File exists.\r\n", 18)},
        {"pyftpdlib", "RNFR incoming/made",
         QByteArray("350 Ready for destination name.\r\n", 33)},
        {"pyftpdlib", "RNTO incoming/renamed",
         QByteArray("250 Renaming ok.\r\n", 18)},
        {"pyftpdlib", "RMD incoming/renamed",
         QByteArray("250 Directory removed.\r\n", 24)},
        {"pyftpdlib", "DELE nosuch",
         QByteArray("550 No such file or directory.\r\n", 32)},
        {"pyftpdlib", "REST 100",
         QByteArray("501 Resuming transfers not allowed in ASCII mode.\r\n", 51)},
        {"pyftpdlib", "REST 0",
         QByteArray("501 Resuming transfers not allowed in ASCII mode.\r\n", 51)},
        {"pyftpdlib", "XYZZY",
         QByteArray("500 Command \"XYZZY\" not understood.\r\n", 37)},
        {"pyftpdlib", "ABOR",
         QByteArray("225 No transfer to abort.\r\n", 27)},
        {"pyftpdlib", "PASV",
         QByteArray("227 Entering passive mode (127,0,0,1,224,91).\r\n", 47)},
        {"pyftpdlib", "LIST",
         QByteArray("150 File status okay. About to open data connection.\r\n", 54)},
        {"pyftpdlib", "LIST/final",
         QByteArray("226 Transfer complete.\r\n", 24)},
        {"pyftpdlib", "PASV",
         QByteArray("227 Entering passive mode (127,0,0,1,224,128).\r\n", 48)},
        {"pyftpdlib", "LIST -al",
         QByteArray("125 Data connection already open. Transfer starting.\r\n", 54)},
        {"pyftpdlib", "LIST -al/final",
         QByteArray("226 Transfer complete.\r\n", 24)},
        {"pyftpdlib", "PASV",
         QByteArray("227 Entering passive mode (127,0,0,1,224,179).\r\n", 48)},
        {"pyftpdlib", "NLST",
         QByteArray("125 Data connection already open. Transfer starting.\r\n", 54)},
        {"pyftpdlib", "NLST/final",
         QByteArray("226 Transfer complete.\r\n", 24)},
        {"pyftpdlib", "TYPE I",
         QByteArray("200 Type set to: Binary.\r\n", 26)},
        {"pyftpdlib", "PASV",
         QByteArray("227 Entering passive mode (127,0,0,1,224,247).\r\n", 48)},
        {"pyftpdlib", "RETR hello.txt",
         QByteArray("150 File status okay. About to open data connection.\r\n", 54)},
        {"pyftpdlib", "RETR hello.txt/final",
         QByteArray("226 Transfer complete.\r\n", 24)},
        {"pyftpdlib", "PASV",
         QByteArray("227 Entering passive mode (127,0,0,1,224,160).\r\n", 48)},
        {"pyftpdlib", "RETR nosuch",
         QByteArray("550 No such file or directory.\r\n", 32)},
        {"pyftpdlib", "PASV",
         QByteArray("227 Entering passive mode (127,0,0,1,225,5).\r\n", 46)},
        {"pyftpdlib", "STOR incoming/up.txt",
         QByteArray("150 File status okay. About to open data connection.\r\n", 54)},
        {"pyftpdlib", "STOR incoming/up.txt/final",
         QByteArray("226 Transfer complete.\r\n", 24)},
        {"pyftpdlib", "DELE incoming/up.txt",
         QByteArray("250 File removed.\r\n", 19)},
        {"pyftpdlib", "QUIT",
         QByteArray("221 Goodbye.\r\n", 14)},
        {"pyftpdlib", "(greeting without a banner file)",
         QByteArray("220 Krellin test server ready.\r\n", 32)},
        {"pyftpdlib", "(greeting past the limit on clients)",
         QByteArray("421 Too many connections. Service temporarily unavailable.\r\n", 60)},
    };
    // clang-format on
    return rows;
}
