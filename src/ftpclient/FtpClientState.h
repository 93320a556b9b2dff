#pragma once
#include <cstdint>
#include <string>

// The parts of the client engine's state, each grouped with what belongs to
// it, so that a request, the login or a transfer can be read (and reset) as
// one object.

// The request running on the control connection and its sequence driver.
struct FtpRequestState {
    bool done = true;            // nothing running
    bool inSequence = false;     // the steps run from a step set
    bool driverSet = false;      // the sequence driver runs the next step on completion
    bool driverStarting = false; // the driver runs inside the caller's request call
    bool quitAfterReply = false; // the awaited reply ends the session (QUIT)
};

// The control connection from the greeting to the close.
struct FtpLoginState {
    bool connected = false;
    bool keyAnnounced = false;   // PUBK sent on this connection
    bool quitClosing = false;    // the close follows our QUIT
    bool serviceClosing = false; // the server answered 421: it closes the session
    bool timedOut = false;       // the last request ended because a reply did not come
    bool epsvRefused = false;    // the server refused EPSV: PASV from then on
};

// The transfer type as asked and as last accepted on this connection.
struct FtpTypeState {
    bool binaryAsked = true;
    bool binary = false; // the last TYPE accepted was "TYPE I"
    bool known = false;  // a TYPE was accepted on this connection
};

// Where the data connection stands.
enum class DataPhase { Idle, Listening, Connecting, Open };

// The one transfer of the data channel: its phase, what was seen of its
// reply and its data connection, and its local file's situation.
struct FtpTransferState {
    DataPhase phase = DataPhase::Idle;
    const char* command = ""; // RETR, LIST, NLST, STOR or APPE
    std::string pendingCommand;
    std::int64_t count = 0;
    std::int64_t startTicks = 0;
    int dataError = 0;
    bool replySeen = false;
    bool receiveClosed = false;
    bool sendClosed = false;
    bool sendEof = false;
    bool storeAnswered = false;
    bool sendConnected = false;
    bool sendStarted = false;
    bool receiving = false;         // a receive step owns the data socket
    bool localError = false;        // the local file could not be read or written
    bool localUntouched = false;    // a download's target not yet created or emptied
    std::int64_t expectedSize = -1; // the size a download must reach, -1 unknown
    std::int64_t receiveOffset = 0; // where a download started in its file
    bool replaceTarget = false;     // the download overwrites an existing file
    unsigned targetMode = 0644;     // that file's permissions
    std::string partialPath;        // the copy being written, until renamed or removed
    bool lastWasCR = false;         // an ASCII listing's last byte was CR
    bool machineListing = false;    // the last listing asked was MLSD
    std::string displayPartial;     // a listing line split over two reads
};
