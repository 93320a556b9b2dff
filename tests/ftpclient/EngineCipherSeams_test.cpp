// The seams where the encrypted session plugs in: commands enciphered on
// the way out, replies deciphered on the way in, data in chunks. A toy
// cipher (byte inversion) stands in for the real one.
#include "ClientHarness.h"
#include "Peers.h"
#include "ScriptedPeer.h"
#include "TempDir.h"
#include "ftpclient/FtpCipherHooks.h"

#include <gtest/gtest.h>

#include <unistd.h>

using namespace testing_support;
using Conn = ScriptedPeer::Conn;

namespace {

std::string Invert(std::string s) {
    for (auto& c : s)
        c = static_cast<char>(~c);
    return s;
}

// "ENC:" + hex of the inverted text marks an enciphered line.
std::string Hex(const std::string& s) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}
std::string Unhex(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i + 1 < s.size(); i += 2)
        out += static_cast<char>(std::stoi(s.substr(i, 2), nullptr, 16));
    return out;
}

struct ToyHooks : TFtpCipherHooks {
    std::vector<int> decipheredChunks;
    std::vector<int> encipheredChunks;
    std::string seenKey;
    std::string EncipherCommand(const std::string& line, const std::string& key,
                                const std::string& bits, const std::string& length) override {
        seenKey = key + "/" + bits + "/" + length;
        return "ENC:" + Hex(Invert(line));
    }
    bool DecipherReply(const std::string& line, std::string& plain) override {
        if (line.rfind("ENC:", 0) != 0)
            return false;
        plain = Invert(Unhex(line.substr(4)));
        return true;
    }
    void EncipherChunk(char* data, int len) override {
        encipheredChunks.push_back(len);
        for (int i = 0; i < len; ++i)
            data[i] = static_cast<char>(~data[i]);
    }
    void DecipherChunk(char* data, int len) override {
        decipheredChunks.push_back(len);
        for (int i = 0; i < len; ++i)
            data[i] = static_cast<char>(~data[i]);
    }
};

} // namespace

TEST(EngineCipherSeams, CommandsRepliesAndChunks) {
    const std::string content = PatternBytes(5000, 8);
    std::string commandOnWire;
    std::string uploaded;
    ScriptedPeer peer([&](Conn& c) {
        c.Send("220 Vexa scripted\r\n");
        c.ReadLine(); // PUBK, plain
        c.Send("666 SERVERKEY0640512\r\n");
        commandOnWire = c.ReadLine(); // SYST, enciphered
        // A plain message line and an enciphered reply in the same read.
        c.Send("215-plain note\r\nENC:" + Hex(Invert("215 UNIX Type: Vexa")) + "\r\n");
        c.ReadLine(); // PASV
        c.Send(PassiveReplyFor("127,0,0,1", c.ListenData()));
        c.ReadLine(); // RETR
        c.Send("150 go\r\n");
        int data = c.AcceptData();
        Conn::SendAll(data, Invert(content));
        ::close(data);
        c.Send("226 done\r\n");
        c.ReadLine(); // PASV
        c.Send(PassiveReplyFor("127,0,0,1", c.ListenData()));
        int upload = c.AcceptData();
        c.ReadLine(); // STOR
        c.Send("150 go\r\n");
        uploaded = Conn::ReadAll(upload);
        ::close(upload);
        c.Send("226 stored\r\n");
    });
    ToyHooks hooks;
    TempDir local;
    ClientHarness h;
    h.client.CipherHooks = &hooks;
    h.client.HostName = "127.0.0.1";
    h.client.Port = peer.PortText();
    h.client.SetUsePassive(true);
    ASSERT_EQ(h.Run([&] { h.client.Open(); }), 0);
    h.client.MyPublicKey = "CLIENTKEY";
    h.client.MyPublicKeyLength = "064";
    h.client.MyPublicKeyBits = "0512";
    ASSERT_EQ(h.Run([&] { h.client.Pubk(); }), 0);
    EXPECT_EQ(h.commands.back(), "PUBK CLIENTKEY0640512");
    EXPECT_EQ(h.done.back().request, ftpPubk);

    h.client.ServerPublicKey = "SERVERKEY";
    h.client.ServerPublicKeyLength = "064";
    h.client.ServerPublicKeyBits = "0512";
    ASSERT_EQ(h.Run([&] { h.client.Syst(); }), 0);
    EXPECT_EQ(commandOnWire, "ENC:" + Hex(Invert("SYST")));
    EXPECT_EQ(hooks.seenKey, "SERVERKEY/0512/064");
    EXPECT_EQ(h.client.LastResponse(), "215 UNIX Type: Vexa");

    h.client.ClientEncryptionActive = true;
    h.client.HostFileName = "f";
    h.client.LocalFileName = local.File("f");
    ASSERT_EQ(h.Run([&] { h.client.Get(); }), 0);
    EXPECT_TRUE(ReadFile(local.File("f")) == content);
    // Two whole chunks while receiving, the rest as one last chunk.
    EXPECT_EQ(hooks.decipheredChunks, (std::vector<int>{2048, 2048, 904}));

    h.client.HostFileName = "up";
    ASSERT_EQ(h.Run([&] { h.client.Put(); }), 0);
    EXPECT_TRUE(uploaded == Invert(content));
    EXPECT_EQ(hooks.encipheredChunks, (std::vector<int>{1514, 1514, 1514, 458}));
}

// Lines reach the decipher hook only once the key was announced; a hook
// that fails on a line (an uncoded middle line of FEAT) leaves that line as
// text and the rest of the reply is still read.
TEST(EngineCipherSeams, UncodedLinesAfterTheKeyAnnouncement) {
    struct ThrowingHooks : ToyHooks {
        int asked = 0;
        bool DecipherReply(const std::string& line, std::string& plain) override {
            ++asked;
            if (line.rfind("ENC:", 0) != 0)
                throw std::runtime_error("not a ciphertext");
            return ToyHooks::DecipherReply(line, plain);
        }
    } hooks;
    ScriptedPeer peer([&](Conn& c) {
        c.Send("220-Vexa\r\n an uncoded line\r\n220 Vexa ready\r\n");
        c.ReadLine(); // PUBK
        c.Send("ENC:" + Hex(Invert("666 no key here")) + "\r\n");
        c.ReadLine(); // FEAT
        c.Send("211-Features:\r\n EPRT\r\n MDTM\r\n211 End\r\n");
        c.ReadLine(); // HELP
        c.Send("214-The following commands are recognized.\r\n ABOR ACCT ALLO APPE\r\n"
               "214 Help OK.\r\n");
        c.ReadLine();
    });
    ClientHarness h;
    h.client.CipherHooks = &hooks;
    h.client.HostName = "127.0.0.1";
    h.client.Port = peer.PortText();
    ASSERT_EQ(h.Run([&] { h.client.Open(); }), 0);
    EXPECT_EQ(hooks.asked, 0);
    h.client.MyPublicKey = "CLIENTKEY";
    ASSERT_EQ(h.Run([&] { h.client.Pubk(); }), 0);
    EXPECT_EQ(h.client.LastResponse(), "666 no key here");
    for (const char* command : {"FEAT", "HELP"}) {
        h.client.LocalFileName = command;
        EXPECT_EQ(h.Run([&] { h.client.Quote(); }, 5000), 0) << command;
    }
    EXPECT_EQ(h.client.LastResponse(), "214 Help OK.");
    EXPECT_EQ(hooks.asked, 1 + 4 + 3);
}
