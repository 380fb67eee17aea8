// SPDX-License-Identifier: GPL-3.0-or-later
// The tty, ppdev and raw backends, checked through the calls they make on a scripted system.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <linux/parport.h>

#include "fake_os.hpp"
#include "hardware/port_backends.hpp"

namespace kestrum {
namespace {

using Calls = std::vector<OsCall>;

TEST(TtyPort, OpensExclusivelyWithoutCarrierAndFailsOnAFileThatIsNoTty) {
  FakeOs os;
  os.modemBits = TIOCM_DTR;
  BackendResult r = OpenTtyPort(os, "/dev/ttyS1", PortKind::Serial, 0x2F8);
  ASSERT_TRUE(r.port);
  EXPECT_EQ(os.calls, (Calls{{"open", 0, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC, "/dev/ttyS1"},
                             Ioctl(TIOCEXCL),
                             Ioctl(TIOCMGET)}));
  EXPECT_EQ(r.port->In(0x2F8 + 4), kMcrDtr);  // modem control starts as the lines are
  os.calls.clear();
  r.port.reset();
  EXPECT_EQ(os.calls, (Calls{{"close", 0, 7}}));

  FakeOs notTty;
  notTty.ioctlErrors[TIOCMGET] = ENOTTY;
  EXPECT_EQ(OpenTtyPort(notTty, "/dev/null", PortKind::Serial, 0x3F8).error, ENOTTY);
  EXPECT_EQ(notTty.calls.back().name, "close");
}

TEST(TtyPort, UartRegistersAndSystemCallsBecomeTtyIoctls) {
  FakeOs os;
  BackendResult r = OpenTtyPort(os, "/dev/ttyS0", PortKind::Serial, 0x3F8);
  Port& p = *r.port;
  os.calls.clear();
  p.Out(0x3FC, 0x01);  // modem control: only lines that change
  p.Out(0x3FC, 0x02);
  p.Out(0x3FC, 0x02);
  p.Out(0x3FB, 0x47);  // line control: the break bit, when it changes
  p.Out(0x3FB, 0x47);
  p.Out(0x3FB, 0x07);
  p.Out(0x3F8, 0x00);  // transmit register
  EXPECT_EQ(p.In(0x3FD), kLsrThre | kLsrTemt);
  os.modemBits = TIOCM_CTS;
  EXPECT_EQ(p.In(0x3FE), kMsrCts);
  EXPECT_EQ(p.In(0x2FE), kFloatingBus);  // another port's register: no call
  p.SetRts(true);                        // system calls reach the line every time
  p.SetBreak(false);
  EXPECT_TRUE(p.Cts());
  EXPECT_EQ(os.calls, (Calls{Ioctl(TIOCMBIS, TIOCM_DTR),
                             Ioctl(TIOCMBIS, TIOCM_RTS),
                             Ioctl(TIOCMBIC, TIOCM_DTR),
                             Ioctl(TIOCSBRK),
                             Ioctl(TIOCCBRK),
                             {"write", 0, 0},
                             {"tcdrain"},
                             Ioctl(TIOCMGET),
                             Ioctl(TIOCMBIS, TIOCM_RTS),
                             Ioctl(TIOCCBRK),
                             Ioctl(TIOCMGET)}));
}

TEST(TtyPort, LineFormatIsRaw8N2WithoutFlowControlOrHangUp) {
  FakeOs os;
  os.attributes.c_cflag = CS7 | PARENB | CRTSCTS | HUPCL;
  os.attributes.c_iflag = IXON | ICRNL;
  os.attributes.c_lflag = ICANON | ECHO;
  cfsetospeed(&os.attributes, B9600);
  BackendResult r = OpenTtyPort(os, "/dev/ttyS0", PortKind::Serial, 0x3F8);
  r.port->SetLineFormat(LineFormat{});
  const termios& t = os.attributes;
  EXPECT_EQ(t.c_cflag & (CSIZE | CSTOPB | PARENB | CRTSCTS | HUPCL | CLOCAL),
            static_cast<tcflag_t>(CS8 | CSTOPB | CLOCAL));
  EXPECT_FALSE(t.c_iflag & (IXON | ICRNL));
  EXPECT_FALSE(t.c_lflag & (ICANON | ECHO));
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));  // rate kept
  r.port->SetLineFormat(LineFormat{.baud = 115200});
  EXPECT_EQ(cfgetospeed(&os.attributes), static_cast<speed_t>(B115200));
}

// The card reader's bytes: a poll with the time-out, then a read of what came.
TEST(TtyPort, ReadsAByteWithATimeOut) {
  FakeOs os;
  BackendResult r = OpenTtyPort(os, "/dev/ttyS0", PortKind::Serial, 0x3F8);
  os.input = {0x3B};
  os.calls.clear();
  std::uint8_t value = 0;
  EXPECT_TRUE(r.port->ReadByte(value, 1500));
  EXPECT_EQ(value, 0x3B);
  EXPECT_FALSE(r.port->ReadByte(value, 1500));
  EXPECT_EQ(os.calls, (std::vector<OsCall>{{"poll", POLLIN, 1500}, {"read", 0, 1},
                                            {"poll", POLLIN, 1500}}));
}

TEST(PpdevPort, ClaimsTheRegistersAndReleasesThem) {
  FakeOs os;
  BackendResult r = OpenPpdevPort(os, "/dev/parport0", PortKind::Parallel, 0x378);
  ASSERT_TRUE(r.port);
  EXPECT_EQ(os.calls, (Calls{{"open", 0, O_RDWR | O_CLOEXEC, "/dev/parport0"},
                             Ioctl(PPEXCL),
                             Ioctl(PPCLAIM),
                             Ioctl(PPRCONTROL)}));
  Port& p = *r.port;
  os.calls.clear();
  os.parallelIn = 0x06;
  p.Out(0x378, 0x3C);
  EXPECT_EQ(p.In(0x378), 0x06);
  EXPECT_EQ(p.In(0x379), 0x06);
  p.Out(0x37A, 0x27);  // bit 5 turns the data lines around
  p.Out(0x37A, 0x26);
  EXPECT_EQ(p.In(0x37A), 0x26);
  p.Out(0x37A, 0x0F);
  std::uint8_t ecr = p.In(0x378 + 0x402);
  p.Out(0x378 + 0x402, static_cast<std::uint8_t>((ecr & 0x1F) | 0x20));  // byte mode
  p.Out(0x378 + 0x402, static_cast<std::uint8_t>((ecr & 0x1F) | 0x20));  // as it is: no call
  p.Out(0x378 + 0x402, ecr & 0x1F);                                      // standard mode
  p.Out(0x3F8, 1);
  EXPECT_EQ(os.calls, (Calls{Ioctl(PPWDATA, 0x3C), Ioctl(PPRDATA), Ioctl(PPRSTATUS),
                             Ioctl(PPDATADIR, 1), Ioctl(PPWCONTROL, 0x07), Ioctl(PPWCONTROL, 0x06),
                             Ioctl(PPRCONTROL), Ioctl(PPDATADIR, 0), Ioctl(PPWCONTROL, 0x0F),
                             Ioctl(PPSETMODE, IEEE1284_MODE_BYTE),
                             Ioctl(PPSETMODE, IEEE1284_MODE_COMPAT)}));
  os.calls.clear();
  r.port.reset();
  EXPECT_EQ(os.calls, (Calls{Ioctl(PPRELEASE), {"close", 0, 7}}));

  FakeOs busy;
  busy.ioctlErrors[PPCLAIM] = EBUSY;
  EXPECT_EQ(OpenPpdevPort(busy, "/dev/parport0", PortKind::Parallel, 0x378).error, EBUSY);
  EXPECT_EQ(busy.calls.back().name, "close");
}

TEST(IopermPort, GrantsOnlyThePortsRegistersAndGivesThemBack) {
  FakeOs os;
  BackendResult r = OpenIopermPort(os, "", PortKind::Parallel, 0x378);
  EXPECT_EQ(r.port->In(0x379), 0x5F);
  r.port->Out(0x77A, 0x20);
  EXPECT_EQ(r.port->In(0x3FD), kFloatingBus);  // not granted: no port instruction
  r.port.reset();
  EXPECT_EQ(os.calls, (Calls{{"ioperm on", 0x378, 3},
                             {"ioperm on", 0x778, 3},
                             {"inb", 0x379},
                             {"outb", 0x77A, 0x20},
                             {"ioperm off", 0x378, 3},
                             {"ioperm off", 0x778, 3}}));

  FakeOs refused;
  refused.refusedIoRange = 0x6BC;
  EXPECT_EQ(OpenIopermPort(refused, "", PortKind::Parallel, 0x2BC).error, EPERM);
  EXPECT_EQ(refused.calls.back(), (OsCall{"ioperm off", 0x2BC, 3}));
}

}  // namespace
}  // namespace kestrum
