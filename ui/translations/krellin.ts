<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1">
<context>
    <name>FileListModel</name>
    <message>
        <source>%1 bytes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File Name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File Size (Bytes)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Last Write Date</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Permissions</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Owner</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Group</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File Size</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>FtpErrors</name>
    <message>
        <source>Service not available, closing control connection.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Can&apos;t open data connection.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Connection closed; transfer aborted.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Requested file action not taken.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Requested action aborted: local error in processing.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Requested action not taken. Insufficient storage space in system.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Syntax error, command unrecognized.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Syntax error in parameters or arguments.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Command not implemented.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bad sequence of commands.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Command not implemented for that parameter.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not logged in.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Need account for storing files.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Requested action not taken. File unavailable (e.g., file not found, no access).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Requested action aborted: page type unknown.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Requested file action aborted. Exceeded storage allocation (for current directory or dataset).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Requested action not taken. File name not allowed.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A time-out occurred while communicating with the server.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cannot execute the command. Transfer in progress.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Application is busy. Wait until the current operation will be completed.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The operation was canceled by user.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>FtpSecurity</name>
    <message>
        <source>Use explicit FTP over TLS if available</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Require explicit FTP over TLS</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Require implicit FTP over TLS</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Only use plain FTP (insecure)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>HelpViewer</name>
    <message>
        <source>Krellin Help</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>QueueModel</name>
    <message>
        <source>Waiting to retry</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Queued</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Active</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Done</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Done, verified (%1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Skipped</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Download</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Upload</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Listed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 %</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1/s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Direction</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Local path</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Remote path</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Size</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Progress</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Speed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>State</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>QueuePane</name>
    <message>
        <source>Queued</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Done</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ServerAddress</name>
    <message>
        <source>The port number %1 is not valid: it must lie between 1 and 65535.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The address %1 lacks its closing bracket.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The address %1 has text after its closing bracket that is not a port.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>WindowTransfers</name>
    <message>
        <source>The transfer queue cannot be kept on disk: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 transfers with %2 were not finished when Krellin last ended.

Resume them when you connect to that server again, or discard them?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Interrupted transfers</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Resume all</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Discard</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 already exists.

Size of the existing file: %2 bytes
Size of the file to %3: %4 bytes

What should be done with it?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>download</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>upload</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>unknown</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Overwrite</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Resume</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Skip</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rename</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Overwrite if newer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Overwrite if size differs</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File already exists</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Apply to all in this queue</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Queue: %1 % of %2 files</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>, %1/s, %2 left</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Transfer settings</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Connections for transfers:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Verify transfers where the server can</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>about</name>
    <message>
        <source>About Krellin</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ok</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>frmCertificates</name>
    <message>
        <source>Trusted certificates</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Certificates you chose to always trust:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Server</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fingerprint</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Forget</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>frmConnect</name>
    <message>
        <source>Connect to...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>URL</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>P&amp;ort</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>User Name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Your E-Mail Address</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Anonymous</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Encryption:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Password</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Enter a URL or click on Cancel button.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Invalid URL</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Invalid port</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>frmMain</name>
    <message>
        <source>&amp;File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Toolbar</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Status &amp;Bar</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Si&amp;zes in Bytes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Options...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Certificates...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Help Topics</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Download latest version</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;About </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Encrypted</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Passive Mode</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;ASCII</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Image</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>User command</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Server response</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Server bad response</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Application message</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Resolving host...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Host resolved</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Connected</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Authentication...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>You are logged in. Connection ready.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Establishing data connection...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Data connection established.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Retrieving directory info...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Directory listing completed.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Transfer in progress...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Transfer completed.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Directory listing incomplete. Server: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 of %2 (%3 %)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1/s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1:%2:%3 left</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1:%2 left</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Uploading %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Downloading %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Retrieving the current directory listing (%1 bytes ) ...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>FTP Client</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File %1 already exists!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Size of remote file - %1 bytes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Size of local file  - %1 bytes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Note: If you choose No new file will be created.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Server response: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>... and %1 more</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Open</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Connect to ...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Stop</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stop operation</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Download File ...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Download File...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Rename File ...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rename File...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Delete File ...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Upload File ...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Upload File...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Create Directory ...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Create Directory...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Remo&amp;ve Directory</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Refresh</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Refresh contents of current directory</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Up One Level</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>C&amp;lose</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lar&amp;ge Icons</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>View Large Icons</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>S&amp;mall Icons</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>View Small Icons</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;List</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>View List</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Details</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>View Details</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Error occured!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the connection was lost.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Disconnected.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Disconnected: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>connecting to %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stopped: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Error #%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Error #%1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>listing of %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Directory listing failed.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>change to %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>asking the server where it is</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Message from %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The connection cannot be established.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Can&apos;t open directory %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Can&apos;t open directory</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Can&apos;t open %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Encrypted: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The certificate of %1 is not trusted:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Yes: always trust this certificate for this server.
No: trust it for this session only.
Cancel: do not connect (nothing has been sent yet).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unknown certificate</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This server does not offer FTP over TLS; your password and files will cross the network in clear.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This server does not protect its data connections with TLS; your files will cross the network in clear.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Connect without encryption?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Connect</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Always for this server</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Connecting to %1 ...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Welcome message from %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stopping: %1 ...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>disconnecting</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Upload of %1 cancelled.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Upload of %1 failed.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Download of %1 cancelled.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Download of %1 failed.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select a file to download, please. A folder opens with Enter or a double-click.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Download file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Download file and save as...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>All Files (*)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Do you want to append lost data to existing file?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File already exists</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Do you want to cancel download?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Download files into...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1; skipped.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Skipped a file whose name is not safe on this computer.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Skipped %1 files whose names are not safe on this computer.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>These files were not downloaded: their names could write outside the chosen folder.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>download of %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Server doesn&apos;t response. Do you like to try again?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The connection is broken. Do you wish to establish the connect again?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select file to upload</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Do you want to cancel upload?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>upload of %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Can&apos;t upload file.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Can&apos;t upload file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Enter directory name, please.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Create new directory</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>creating %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Can&apos;t create new directory.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Can&apos;t create directory</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete file or directory</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select file or directory to delete, please.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Do you really want to remove directory %1?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Do you really want to delete file %1?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Do you really want to delete these %1 entries?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>deleting %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Can&apos;t remove directory.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Can&apos;t delete file.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Can&apos;t remove directory</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Can&apos;t delete file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Can&apos;t delete %1 of %2 entries.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Remove Directory</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select a directory in the tree to remove, please.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Do you really want to remove directory: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>removing %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rename File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select file to rename, please.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Enter new file name for %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>renaming %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Can&apos;t rename file.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Can&apos;t rename file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Upload File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Move</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 entries</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Move %1 from %2 to %3?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>moving %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Can&apos;t move:<byte value="xd"/>
<byte value="xd"/>
%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Upload &amp;Folder ...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Retry</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Re&amp;move</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Open Containing Folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tra&amp;nsfer Settings ...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 files queued for upload.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Queued for upload: %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Queued for download: %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select folder to upload</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 queued for upload.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stop &amp;All</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>frmWelcomeMessage</name>
    <message>
        <source>Close</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
