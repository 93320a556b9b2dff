#pragma once
// pyftpdlib (a real server) with the quirks other servers show, switched on
// by name: a file whose transfer the server never answers, a PWD that
// always names "/", refused MKD or CWD of one folder, NLST names with a
// folder in front, a chosen reply to NOOP, and a 421 with a close in answer
// to one command; "ipv6" listens on ::1 instead of 127.0.0.1.
#include "PythonPeer.h"

#include <algorithm>
#include <string>
#include <vector>

inline const char* const kQuirkyFtpPeer = R"PY(
import os, sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

root = sys.argv[1]
quirks = dict(q.split('=', 1) if '=' in q else (q, '') for q in sys.argv[2:])

def last(arg):
    return os.path.basename((arg or '').rstrip('/'))

class Handler(FTPHandler):
    def pre_process_command(self, line, cmd, arg):
        if quirks.get('421') == cmd:
            self.respond('421 Service closing: test quirk')
            self.close_when_done()
            return
        if cmd in ('RETR', 'STOR') and 'stall' in quirks and last(arg) == quirks['stall']:
            return  # never answered
        if cmd == 'PWD' and 'pwd-root' in quirks:
            self.respond('257 "/" is the current directory.')
            return
        if cmd == 'MKD' and 'refuse-mkd' in quirks and last(arg) == quirks['refuse-mkd']:
            self.respond('550 Not allowed.')
            return
        if cmd == 'CWD' and 'refuse-cwd' in quirks and last(arg) == quirks['refuse-cwd']:
            self.respond('550 No entry.')
            return
        if cmd == 'NOOP' and 'noop' in quirks:
            self.respond(quirks['noop'])
            return
        return FTPHandler.pre_process_command(self, line, cmd, arg)

    def ftp_NLST(self, path):
        if 'nlst-prefix' not in quirks:
            return FTPHandler.ftp_NLST(self, path)
        names = sorted(os.listdir(path))
        data = ''.join(quirks['nlst-prefix'] + '/' + n + '\r\n' for n in names)
        self.push_dtp_data(data.encode('utf8'), cmd='NLST')
        return path

authorizer = DummyAuthorizer()
authorizer.add_user('test', 'test', root, perm='elradfmwMT')
Handler.authorizer = authorizer
Handler.permit_foreign_addresses = False
server = FTPServer(('::1' if 'ipv6' in quirks else '127.0.0.1', 0), Handler)
print(server.socket.getsockname()[1], flush=True)
server.serve_forever()
)PY";

// The server on folder root (user "test", password "test") with quirks.
class QuirkyFtpPeer : public testing_support::PythonPeer {
public:
    QuirkyFtpPeer(const std::string& root, std::vector<std::string> quirks = {})
        : PythonPeer(kQuirkyFtpPeer, Args(root, quirks)),
          host_(std::find(quirks.begin(), quirks.end(), "ipv6") != quirks.end() ? "[::1]"
                                                                                : "127.0.0.1") {}
    std::string Url(const std::string& path = "/") const {
        return "ftp://test:test@" + host_ + ":" + PortText() + path;
    }

private:
    std::string host_;
    static std::vector<std::string> Args(const std::string& root, std::vector<std::string> quirks) {
        quirks.insert(quirks.begin(), root);
        return quirks;
    }
};
