#pragma once

#include <QIcon>

namespace parlix::icons {

// The program's pictures, drawn rather than shipped so that they stay crisp at any size and
// need no image files beside the program.
QIcon app();
QIcon connect();    // the connect button while disconnected
QIcon disconnect(); // the same button while connected
QIcon messageBox();
QIcon reports();
QIcon exit();

QIcon compose();
QIcon sendAll();
QIcon receiveAll();
QIcon reply();
QIcon forward();
QIcon remove();
QIcon autoReply();
QIcon settings();

QIcon folderRoot();
QIcon folderInbox();
QIcon folderOutbox();
QIcon folderSent();

} // namespace parlix::icons
