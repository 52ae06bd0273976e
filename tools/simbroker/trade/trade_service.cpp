#include "tools/simbroker/trade/trade_service.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "tools/simbroker/cipher/sim_blowfish.h"
#include "tools/simbroker/trade/trade_wire.h"
#include "trading/trade_key.h"

namespace simtrade {
namespace {

using Row = std::vector<std::string>;

std::string Money(long long cents) {
  char text[40];
  snprintf(text, sizeof(text), "%s%lld.%02lld", cents < 0 ? "-" : "", std::llabs(cents) / 100, std::llabs(cents) % 100);
  return text;
}

const char* MarketName(int market) {
  switch (market) {
    case 1: return "沪A";
    case 2: return "深A";
    case 3: return "沪B";
    case 4: return "深B";
    case 12: return "三板A";
    case 13: return "三板B";
    default: return "";
  }
}

// Parses a non-negative decimal amount with at most two decimals into cents;
// false for anything else.
bool ParseCents(const std::string& text, long long* cents) {
  if (text.empty() || text.size() > 15) return false;
  long long whole = 0;
  long long fraction = 0;
  int fractionDigits = -1;
  for (char ch : text) {
    if (ch == '.') {
      if (fractionDigits >= 0) return false;
      fractionDigits = 0;
      continue;
    }
    if (ch < '0' || ch > '9') return false;
    if (fractionDigits < 0) {
      whole = whole * 10 + (ch - '0');
    } else if (++fractionDigits <= 2) {
      fraction = fraction * 10 + (ch - '0');
    } else {
      return false;
    }
  }
  if (fractionDigits == 1) fraction *= 10;
  *cents = whole * 100 + fraction;
  return true;
}

bool ParseCount(const std::string& text, long long* value) {
  if (text.empty() || text.size() > 9) return false;
  *value = 0;
  for (char ch : text) {
    if (ch < '0' || ch > '9') return false;
    *value = *value * 10 + (ch - '0');
  }
  return true;
}

struct Stock {
  std::string code;
  std::string name;
  int market;
  long long last;       // cents
  long long prevClose;  // cents
  int askKind = 0;      // 0 five asks, 1 none (at the upper limit), 2 the first ask reads 0.00
  long long UpLimit() const { return (prevClose * 110 + 50) / 100; }
  long long DownLimit() const { return (prevClose * 90 + 50) / 100; }
  long long Ask(int level) const { return last + level; }       // level 1-5
  long long Bid(int level) const { return last - (level - 1); }  // level 1-5
};

struct Holding {
  std::string code;
  long long shares;
  long long frozen;  // under open sell orders
  long long cost;    // cents a share
};

struct Order {
  int number;
  std::string date;
  std::string code;
  int side;  // 0 buy, 1 sell
  long long price;
  long long quantity;
  long long filled;
  std::string status;  // 已成 未成 已撤
  std::string holder;
  int market;
};

struct Deal {
  std::string date;
  int order;
  std::string code;
  int side;
  long long price;
  long long quantity;
};

struct Bank {
  std::string code, name, account, inFlag, outFlag;
};

// One account the service knows; the logged-in one's values live in the
// service's own fields (account, passwords, holders, banks).
struct SimAccount {
  std::string account, password, fundPassword, bankPassword;
  std::map<int, std::string> holders;
  std::vector<Bank> banks;
};

struct Transfer {
  std::string date, time, bankCode, direction;
  long long amount;
};

struct FundFlow {
  std::string date, summary;
  long long amount, balance;
};

struct Fault {
  std::string code;
  TradeFault fault;
  int times;
  int delayMs;
};

// What the connection thread does with the reply bytes.
struct Answer {
  std::string wire;  // the HTTP body
  TradeFault fault = TradeFault::kNone;
  int delayMs = 0;
};

}  // namespace

class TradeService {
 public:
  explicit TradeService(const TradeServiceOptions& options);
  ~TradeService();
  bool Start();
  void Stop();

  Answer Process(const std::string& received);

  TradeServiceOptions options;
  int port = 0;
  std::mutex lock;  // guards everything below
  std::vector<LoggedRequest> log;
  std::vector<Fault> faults;
  std::string captcha;
  std::map<std::string, std::string> captchaSessions;  // token -> code
  std::map<std::string, bool> loginSessions;
  int nextToken = 1;
  int nextCaptcha = 4821;
  // Account.
  std::string account = "880001";
  std::string password = "135790";
  std::string fundPassword = "246810";
  std::string bankPassword = "888888";
  std::map<int, std::string> holders = {{1, "A123456789"}, {2, "0123456789"}, {3, "C123456789"}, {4, "2123456789"}};
  long long cash = 10000000;  // cents
  std::vector<Stock> stocks;
  std::vector<Holding> holdings;
  std::vector<Order> orders;
  std::vector<Deal> deals;
  std::vector<Bank> banks;
  std::vector<Transfer> transfers;
  std::vector<FundFlow> flows;
  int nextOrder = 1007;
  std::vector<SimAccount> accounts;  // [0] 880001, [1] 880002
  size_t active = 0;                 // whose values are in the fields above

  // Sockets.
  int listenFd = -1;
  int wakePipe[2] = {-1, -1};
  std::atomic<bool> stopping{false};
  std::thread acceptThread;
  struct Connection {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };
  std::mutex threadsLock;
  std::vector<Connection> connections;  // finished ones are joined by the accepting thread

 private:
  void AcceptLoop();
  void Serve(int fd);
  bool WaitReadable(int fd, int timeoutMs);
  ReplyTable Dispatch(const DecodedRequest& request, std::string* token);
  ReplyTable Page(ReplyTable table, int page);
  const Stock* FindStock(const std::string& code) const;
  Holding* FindHolding(const std::string& code);
  long long FrozenCash() const;
  void Fill(Order& order, long long price);
  Row OrderRow(const Order& order) const;
  bool CredentialsOk(const DecodedRequest& request) const;
  ReplyTable Login(const DecodedRequest& request, std::string* token);
  ReplyTable PlaceOrder(const DecodedRequest& request);
  ReplyTable Cancel(const DecodedRequest& request);
  ReplyTable DoOrderInfo(const DecodedRequest& request);
  ReplyTable DoTransfer(const DecodedRequest& request);
  ReplyTable OrderList(const DecodedRequest& request, bool dealsWanted);
};

namespace {

ReplyTable Error(const std::string& code, const std::string& message) {
  ReplyTable table;
  table.code = code;
  table.message = message;
  return table;
}

// Inclusive date filter; both empty means today.
bool DateRange(const std::string& start, const std::string& end, const std::string& today, std::string* from,
               std::string* to, ReplyTable* error) {
  if (start.empty() && end.empty()) {
    *from = today;
    *to = today;
    return true;
  }
  auto valid = [](const std::string& d) {
    return d.size() == 8 && std::all_of(d.begin(), d.end(), [](char c) { return c >= '0' && c <= '9'; });
  };
  if (!valid(start) || !valid(end)) {
    *error = Error("1012", "日期格式错误");
    return false;
  }
  if (start > end) {
    *error = Error("1011", "起始日期不能晚于结束日期");
    return false;
  }
  *from = start;
  *to = end;
  return true;
}

}  // namespace

TradeService::TradeService(const TradeServiceOptions& opts) : options(opts) {
  stocks = {{"600001", "甲钢股份", 1, 1050, 1030},
            {"600002", "乙能源", 1, 2012, 2000},
            {"000002", "丙地产", 2, 1234, 1250},
            {"000001", "丁银行", 2, 1088, 1080},
            {"200002", "戊电器B", 4, 856, 850},
            {"900901", "庚机B股", 3, 52, 51},
            {"600003", "辛科技", 1, 1100, 1000, 1},
            {"600004", "壬药业", 1, 1520, 1500, 2},
            {"600005", "癸电力", 1, 1000, 1000}};
  holdings = {{"600001", 1000, 100, 980}, {"000002", 500, 0, 1300}};
  const std::string& t = options.today;
  orders = {{1001, t, "600001", 0, 1052, 100, 100, "已成", holders[1], 1},
            {1002, t, "000002", 1, 1234, 100, 100, "已成", holders[2], 2},
            {1003, t, "600002", 0, 1990, 200, 0, "未成", holders[1], 1},
            {1004, t, "000001", 0, 1089, 100, 100, "已成", holders[2], 2},
            {1005, t, "600001", 1, 1100, 100, 0, "未成", holders[1], 1},
            {1006, t, "000002", 0, 1200, 100, 0, "已撤", holders[2], 2}};
  deals = {{"20240301", 901, "600001", 0, 980, 900, },
           {"20240308", 902, "000002", 0, 1300, 600},
           {t, 1001, "600001", 0, 1051, 100},
           {t, 1002, "000002", 1, 1235, 100},
           {t, 1004, "000001", 0, 1089, 100}};
  banks = {{"01", "甲银行", "6222000011112222", "1", "0"}, {"02", "乙银行", "6228000033334444", "3", "2"}};
  for (int i = 0; i < options.extraBanks; ++i) {
    char code[16];
    snprintf(code, sizeof(code), "%02d", 3 + i);
    banks.push_back({code, "备用银行" + std::to_string(i + 1), "62100000" + std::to_string(1000 + i), "0", "0"});
  }
  accounts = {{account, password, fundPassword, bankPassword, holders, banks},
              {"880002", "112233", "445566", "666666", {{1, "A987654321"}},
               {{"03", "丙银行", "6217000055556666", "0", "1"}, {"04", "丁银行", "6215000077778888", "2", "3"}}}};
  transfers = {{"20240305", "100000", "01", "转入", 5000000}};
  flows = {{"20240301", "证券买入", -882000, 10882000}, {"20240305", "银行转入", 5000000, 15882000},
           {"20240308", "证券买入", -780000, 15102000}};
}

TradeService::~TradeService() {
  for (int fd : {listenFd, wakePipe[0], wakePipe[1]}) {
    if (fd >= 0) close(fd);
  }
}

const Stock* TradeService::FindStock(const std::string& code) const {
  for (const auto& stock : stocks) {
    if (stock.code == code) return &stock;
  }
  return nullptr;
}

Holding* TradeService::FindHolding(const std::string& code) {
  for (auto& holding : holdings) {
    if (holding.code == code) return &holding;
  }
  return nullptr;
}

long long TradeService::FrozenCash() const {
  long long frozen = 0;
  for (const auto& order : orders) {
    if (order.side == 0 && order.status == "未成") frozen += order.price * (order.quantity - order.filled);
  }
  return frozen;
}

void TradeService::Fill(Order& order, long long price) {
  long long quantity = order.quantity - order.filled;
  order.filled = order.quantity;
  order.status = "已成";
  deals.push_back({order.date, order.number, order.code, order.side, price, quantity});
  Holding* holding = FindHolding(order.code);
  if (order.side == 0) {
    cash -= price * quantity;
    if (holding == nullptr) {
      holdings.push_back({order.code, quantity, 0, price});
    } else {
      holding->cost = (holding->cost * holding->shares + price * quantity) / (holding->shares + quantity);
      holding->shares += quantity;
    }
    return;
  }
  cash += price * quantity;
  if (holding != nullptr) {
    holding->shares -= quantity;
    holding->frozen = std::max(0LL, holding->frozen - quantity);
  }
}

Row TradeService::OrderRow(const Order& order) const {
  const Stock* stock = FindStock(order.code);
  return {std::to_string(order.number), order.date, order.code, stock != nullptr ? stock->name : "",
          order.side == 0 ? "买入" : "卖出", Money(order.price), std::to_string(order.quantity),
          std::to_string(order.filled), order.status, order.holder, MarketName(order.market)};
}

bool TradeService::CredentialsOk(const DecodedRequest& request) const {
  return request.fields.size() >= 3 && request.fields[1] == account && request.fields[2] == password;
}

ReplyTable TradeService::Page(ReplyTable table, int page) {
  if (page < 1) page = 1;
  size_t size = static_cast<size_t>(std::max(1, options.pageSize));
  size_t first = (static_cast<size_t>(page) - 1) * size;
  if (first >= table.rows.size()) {
    table.code = "1010";
    table.message = "没有相关数据";
    table.rows.clear();
    return table;
  }
  size_t last = std::min(table.rows.size(), first + size);
  table.more = last < table.rows.size();
  table.rows = std::vector<Row>(table.rows.begin() + static_cast<long>(first), table.rows.begin() + static_cast<long>(last));
  return table;
}

ReplyTable TradeService::Login(const DecodedRequest& request, std::string* token) {
  const auto& f = request.fields;
  if (f.size() != 5) return Error("1003", "请输入验证码");
  auto issued = captchaSessions.find(request.token);
  if (f[3] != "2" || issued == captchaSessions.end() || issued->second != f[4]) return Error("1002", "验证码错误");
  // The active account's fields may have changed (a new password).
  accounts[active] = {account, password, fundPassword, bankPassword, holders, banks};
  size_t found = accounts.size();
  for (size_t i = 0; i < accounts.size(); ++i)
    if (accounts[i].account == f[1]) found = i;
  if (found == accounts.size() || accounts[found].password != f[2]) return Error("1001", "账号或密码错误");
  if (f[0] != "0") return Error("1004", "账号类型不符");
  captchaSessions.erase(issued);
  if (found != active) {
    const SimAccount& next = accounts[found];
    account = next.account;
    password = next.password;
    fundPassword = next.fundPassword;
    bankPassword = next.bankPassword;
    holders = next.holders;
    banks = next.banks;
    active = found;
  }
  char text[32];
  snprintf(text, sizeof(text), "SES%020d", nextToken++);
  *token = text;
  loginSessions[*token] = true;
  ReplyTable table;
  table.message = "登录成功";
  table.columns = {"客户姓名", "沪A", "深A", "沪B", "深B", "三板A", "三板B", "弹出公告", "营业部"};
  auto holder = [this](int market) {
    auto it = holders.find(market);
    return it == holders.end() ? std::string() : it->second;
  };
  table.rows = {{"王小明", holder(1), holder(2), holder(3), holder(4), "", "", "欢迎使用模拟交易", "模拟营业部"}};
  return table;
}

ReplyTable TradeService::PlaceOrder(const DecodedRequest& request) {
  const auto& f = request.fields;  // market, holder, password, stock, side, quantity, price, price type
  if (f[2] != password) return Error("1001", "账号或密码错误");
  long long market = 0;
  if (!ParseCount(f[0], &market) || MarketName(static_cast<int>(market))[0] == 0) return Error("1031", "市场代码错误");
  static const std::map<int, std::vector<std::string>> kPriceTypes = {
      {1, {"0", "4", "7"}}, {3, {"0", "4", "7"}}, {2, {"0", "1", "2", "3", "4", "5"}}, {4, {"0", "1", "2", "3", "4", "5"}}};
  auto types = kPriceTypes.find(static_cast<int>(market));
  std::vector<std::string> allowed = types != kPriceTypes.end() ? types->second : std::vector<std::string>{"0"};
  if (std::find(allowed.begin(), allowed.end(), f[7]) == allowed.end()) return Error("1032", "价格类型错误");
  auto holder = holders.find(static_cast<int>(market));
  if (holder == holders.end() || holder->second != f[1]) return Error("1033", "股东代码错误");
  const Stock* stock = FindStock(f[3]);
  if (stock == nullptr || stock->market != market) return Error("1034", "证券代码不存在");
  if (f[4] != "0" && f[4] != "1") return Error("1040", "买卖方向错误");
  int side = f[4] == "0" ? 0 : 1;
  long long quantity = 0;
  if (!ParseCount(f[5], &quantity) || quantity <= 0 || (side == 0 && quantity % 100 != 0)) {
    return Error("1035", "委托数量错误");
  }
  long long price = 0;
  bool limit = f[7] == "0";
  if (limit) {
    if (!ParseCents(f[6], &price) || price <= 0) return Error("1036", "委托价格错误");
    if (price > stock->UpLimit() || price < stock->DownLimit()) return Error("1037", "委托价格超出涨跌停限制");
  } else {
    price = side == 0 ? stock->Ask(1) : stock->Bid(1);
  }
  if (side == 0 && price * quantity > cash - FrozenCash()) return Error("1038", "可用资金不足");
  Holding* holding = FindHolding(stock->code);
  if (side == 1 && (holding == nullptr || holding->shares - holding->frozen < quantity)) {
    return Error("1039", "可用股数不足");
  }
  Order order{nextOrder++, options.today, stock->code, side, price, quantity, 0, "未成", f[1], static_cast<int>(market)};
  // A stock at its upper limit has no sellers: buys wait.
  bool fills = (side == 1 || stock->askKind != 1) &&
               (!limit || (side == 0 ? price >= stock->Ask(1) : price <= stock->Bid(1)));
  if (fills) {
    Fill(order, side == 0 ? stock->Ask(1) : stock->Bid(1));
  } else if (side == 1) {
    holding->frozen += quantity;
  }
  orders.push_back(order);
  return Error("0000", "委托成功，委托序号：" + std::to_string(order.number));
}

ReplyTable TradeService::Cancel(const DecodedRequest& request) {
  const auto& f = request.fields;  // market, holder, password, order number
  if (f[2] != password) return Error("1001", "账号或密码错误");
  for (auto& order : orders) {
    if (std::to_string(order.number) != f[3]) continue;
    if (order.status != "未成") return Error("1022", "该委托不可撤");
    if (std::to_string(order.market) != f[0] || order.holder != f[1]) return Error("1023", "股东代码与市场不符");
    order.status = "已撤";
    if (order.side == 1) {
      Holding* holding = FindHolding(order.code);
      if (holding != nullptr) holding->frozen = std::max(0LL, holding->frozen - (order.quantity - order.filled));
    }
    return Error("0000", "撤单成功");
  }
  return Error("1021", "委托不存在");
}

ReplyTable TradeService::DoOrderInfo(const DecodedRequest& request) {
  const Stock* stock = FindStock(request.fields[3]);
  if (stock == nullptr) return Error("1041", "证券代码不存在");
  Holding* holding = FindHolding(stock->code);
  long long available = cash - FrozenCash();
  ReplyTable table;
  table.message = "查询成功";
  table.columns = {"股票代码", "股票名称", "市场代码", "可买数量", "可用股数", "可用金额",
                   options.recentPriceColumn ? "最近价格" : "当前价", "昨收盘"};
  Row row = {stock->code, stock->name, std::to_string(stock->market),
             std::to_string(available / (stock->askKind == 1 ? stock->UpLimit() : stock->Ask(1)) / 100 * 100),
             std::to_string(holding != nullptr ? holding->shares - holding->frozen : 0), Money(available),
             Money(stock->last), Money(stock->prevClose)};
  for (int level = 5; level >= 1; --level) {
    table.columns.push_back("卖" + std::to_string(level) + "价");
    table.columns.push_back("卖" + std::to_string(level) + "量");
    if (stock->askKind == 1) {
      row.insert(row.end(), {"", ""});
      continue;
    }
    row.push_back(level == 1 && stock->askKind == 2 ? "0.00" : Money(stock->Ask(level)));
    row.push_back(std::to_string(level * 100));
  }
  for (int level = 1; level <= 5; ++level) {
    table.columns.push_back("买" + std::to_string(level) + "价");
    table.columns.push_back("买" + std::to_string(level) + "量");
    row.push_back(Money(stock->Bid(level)));
    row.push_back(std::to_string(level * 200));
  }
  table.columns.insert(table.columns.end(), {"涨停", "跌停", "涨幅"});
  char change[32];
  snprintf(change, sizeof(change), "%.2f%%", 100.0 * static_cast<double>(stock->last - stock->prevClose) /
                                                 static_cast<double>(stock->prevClose));
  row.insert(row.end(), {Money(stock->UpLimit()), Money(stock->DownLimit()), change});
  table.rows = {row};
  return table;
}

ReplyTable TradeService::DoTransfer(const DecodedRequest& request) {
  const auto& f = request.fields;  // T, A, fund pw, bank code, bank account, direction, bank pw, amount, currency
  if (f[1] != account) return Error("1001", "账号或密码错误");
  const Bank* bank = nullptr;
  for (const auto& entry : banks) {
    if (entry.code == f[3] && entry.account == f[4]) bank = &entry;
  }
  if (bank == nullptr) return Error("1051", "银行账号错误");
  if (f[5] != "0" && f[5] != "1") return Error("1056", "转账方向错误");
  const std::string& flag = f[5] == "1" ? bank->inFlag : bank->outFlag;
  if ((flag == "1" || flag == "3") && f[2] != fundPassword) return Error("1052", "资金密码错误");
  if ((flag == "2" || flag == "3") && f[6] != bankPassword) return Error("1053", "银行密码错误");
  long long amount = 0;
  if (!ParseCents(f[7], &amount) || amount <= 0) return Error("1054", "转账金额错误");
  if (f[5] == "0" && amount > cash - FrozenCash()) return Error("1055", "可取资金不足");
  cash += f[5] == "1" ? amount : -amount;
  transfers.push_back({options.today, "093000", bank->code, f[5] == "1" ? "转入" : "转出", amount});
  flows.push_back({options.today, f[5] == "1" ? "银行转入" : "银行转出", f[5] == "1" ? amount : -amount, cash});
  return Error("0000", "转账成功");
}

ReplyTable TradeService::OrderList(const DecodedRequest& request, bool dealsWanted) {
  const auto& f = request.fields;
  std::string from, to;
  ReplyTable error;
  if (!DateRange(f[4], f[5], options.today, &from, &to, &error)) return error;
  ReplyTable table;
  table.message = "查询成功";
  if (!dealsWanted) {
    table.columns = {"委托序号", "委托日期", "证券代码", "证券名称", "买卖标志", "委托价格", "委托数量", "成交数量", "委托状态", "股东代码", "市场名称"};
    for (const auto& order : orders) {
      if (order.date >= from && order.date <= to) table.rows.push_back(OrderRow(order));
    }
    return table;
  }
  table.columns = {"成交日期", "委托序号", "证券代码", "证券名称", "买卖标志", "成交价格", "成交数量", "成交金额"};
  for (const auto& deal : deals) {
    if (deal.date < from || deal.date > to) continue;
    const Stock* stock = FindStock(deal.code);
    table.rows.push_back({deal.date, std::to_string(deal.order), deal.code, stock != nullptr ? stock->name : "",
                          deal.side == 0 ? "买入" : "卖出", Money(deal.price), std::to_string(deal.quantity),
                          Money(deal.price * deal.quantity)});
  }
  return table;
}

ReplyTable TradeService::Dispatch(const DecodedRequest& request, std::string* token) {
  const std::string& code = request.code;
  const auto& f = request.fields;
  if (code == "39") {
    char text[32];
    snprintf(text, sizeof(text), "CAP%020d", nextToken++);
    *token = text;
    captcha = std::to_string(nextCaptcha++ % 10000);
    while (captcha.size() < 4) captcha = "0" + captcha;
    captchaSessions[*token] = captcha;
    ReplyTable table;
    table.columns = {"验证码"};
    table.rows = {{captcha}};
    return table;
  }
  if (code == "07") return Login(request, token);
  if (options.checkToken && loginSessions.count(request.token) == 0) return Error("9999", "会话已失效，请重新登录");
  if (code == "01") return PlaceOrder(request);
  if (code == "02") return Cancel(request);
  if (code == "13") return DoTransfer(request);
  if (code == "08") {
    if (f[1] != account || f[2] != password) return Error("1005", "原密码错误");
    const std::string& next = f[3];
    if (next.size() != 6 || !std::all_of(next.begin(), next.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      return Error("1006", "新密码须为6位数字");
    }
    password = next;
    return Error("0000", "密码修改成功");
  }
  if (!CredentialsOk(request)) return Error("1001", "账号或密码错误");
  ReplyTable table;
  table.message = "查询成功";
  if (code == "31" || code == "32") return DoOrderInfo(request);
  if (code == "20") {
    long long value = 0;
    long long profit = 0;
    for (const auto& holding : holdings) {
      const Stock* stock = FindStock(holding.code);
      if (stock == nullptr) continue;
      value += stock->last * holding.shares;
      profit += (stock->last - holding.cost) * holding.shares;
    }
    long long available = cash - FrozenCash();
    table.columns = {"币种", "资金余额", "可用资金", "最新市值", "浮动盈亏", "可取资金"};
    table.rows = {{"人民币", Money(cash), Money(available), Money(value), Money(profit), Money(available)}};
    return table;
  }
  if (code == "03") {
    table.columns = {"证券代码", "证券名称", "股份余额", "可用股数", "成本价", "当前价", "最新市值", "浮动盈亏", "股东代码", "市场名称"};
    for (const auto& holding : holdings) {
      const Stock* stock = FindStock(holding.code);
      if (stock == nullptr || holding.shares == 0) continue;
      table.rows.push_back({holding.code, stock->name, std::to_string(holding.shares),
                            std::to_string(holding.shares - holding.frozen), Money(holding.cost), Money(stock->last),
                            Money(stock->last * holding.shares), Money((stock->last - holding.cost) * holding.shares),
                            holders.count(stock->market) ? holders[stock->market] : "", MarketName(stock->market)});
    }
    return Page(table, request.page);
  }
  if (code == "05" || code == "06") {
    table = OrderList(request, code == "06");
    return table.code == "0000" ? Page(table, request.page) : table;
  }
  if (code == "21") {
    table.columns = {"委托序号", "证券代码", "证券名称", "买卖标志", "委托价格", "委托数量", "股东代码", "市场名称"};
    for (const auto& order : orders) {
      if (order.status != "未成") continue;
      Row row = OrderRow(order);
      table.rows.push_back({row[0], row[2], row[3], row[4], row[5], row[6], row[9], row[10]});
    }
    return Page(table, request.page);
  }
  if (code == "11" || code == "09") {
    std::string from, to;
    ReplyTable error;
    if (!DateRange(f[3], f[4], options.today, &from, &to, &error)) return error;
    if (code == "11") {
      table.columns = {"发生日期", "摘要", "发生金额", "资金余额"};
      for (const auto& flow : flows) {
        if (flow.date >= from && flow.date <= to) {
          table.rows.push_back({flow.date, flow.summary, Money(flow.amount), Money(flow.balance)});
        }
      }
    } else {
      table.columns = {"配号日期", "证券代码", "证券名称", "起始配号", "配号数量"};
      if (std::string("20240310") >= from && std::string("20240310") <= to) {
        table.rows.push_back({"20240310", "780001", "己新股", "10023456", "2"});
      }
    }
    return Page(table, request.page);
  }
  if (code == "12") {
    table.columns = {"银行代码", "银行名称", "银行账号", "银行类别", "币种", "银行类型", "密码标志", "转入密码", "转出密码"};
    for (const auto& bank : banks) {
      table.rows.push_back({bank.code, bank.name, bank.account, "1", "人民币", "0", "1", bank.inFlag, bank.outFlag});
    }
    return table;
  }
  if (code == "33") {
    table.columns = {"转账日期", "转账时间", "银行代码", "银行名称", "转账方向", "转账金额", "币种", "转账状态"};
    for (const auto& transfer : transfers) {
      if (transfer.bankCode != f[3]) continue;
      std::string name;
      for (const auto& bank : banks) {
        if (bank.code == transfer.bankCode) name = bank.name;
      }
      table.rows.push_back({transfer.date, transfer.time, transfer.bankCode, name, transfer.direction,
                            Money(transfer.amount), "人民币", "成功"});
    }
    return Page(table, request.page);
  }
  return Error("9001", "请求格式错误");
}

Answer TradeService::Process(const std::string& received) {
  static const SimBlowfish cipher(kTradeCipherKey, kTradeCipherKeyLength);
  std::lock_guard<std::mutex> guard(lock);
  Answer answer;
  DecodedRequest request;
  std::string error;
  bool decoded = DecodeRequest(cipher, received, &request, &error);
  LoggedRequest entry;
  entry.code = request.code;
  entry.page = request.page;
  entry.fields = request.fields;
  entry.token = request.token;

  for (auto it = faults.begin(); it != faults.end(); ++it) {
    if (!it->code.empty() && it->code != request.code) continue;
    if (it->fault == TradeFault::kMarketClosed && request.code != "31" && request.code != "32") continue;
    answer.fault = it->fault;
    answer.delayMs = it->delayMs;
    if (it->times > 0 && --it->times == 0) faults.erase(it);
    break;
  }

  ReplyTable table;
  std::string token = request.token;
  if (!decoded) {
    fprintf(stderr, "simbroker trade: refused request: %s\n", error.c_str());
    table = Error("9001", "请求格式错误");
  } else if (answer.fault == TradeFault::kSessionExpired) {
    table = Error("9999", "会话已失效，请重新登录");
  } else if (answer.fault == TradeFault::kMarketClosed) {
    table = Error("1042", "非交易时间");
  } else {
    table = Dispatch(request, &token);
  }
  std::string body = EncodeReplyBody(table);
  if (body.size() > kMaxReplyBody) body = EncodeReplyBody(Error("9002", "返回数据过长"));
  if (answer.fault == TradeFault::kOneFieldRecord) body = std::string("0000\0\x01", 6);
  entry.replyCode = answer.fault == TradeFault::kOneFieldRecord ? "" : table.code;
  log.push_back(entry);

  std::string plain = EncodeReplyPlain(request.header, table.more, token, body);
  if (answer.fault == TradeFault::kBodyLengthTooLong) memcpy(&plain[75], "9000", 4);
  if (answer.fault == TradeFault::kWrongKey) {
    static const SimBlowfish otherKey("000000000000000000000000", 24);
    answer.wire = EncodeReplyWire(otherKey, plain);
    return answer;
  }
  answer.wire = EncodeReplyWire(cipher, plain);
  if (answer.fault == TradeFault::kStatedTooLong) {
    answer.wire[3] = static_cast<char>(0xFF);  // 0x??FF plain bytes stated, far more than sent
    answer.wire[4] = static_cast<char>(0x7F);
  }
  if (answer.fault == TradeFault::kShortReply) answer.wire.resize(40);
  return answer;
}

bool TradeService::Start() {
  if (pipe(wakePipe) != 0) return false;
  listenFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listenFd < 0) return false;
  int yes = 1;
  setsockopt(listenFd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(options.port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(listenFd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) return false;
  if (listen(listenFd, 32) != 0) return false;
  socklen_t length = sizeof(address);
  getsockname(listenFd, reinterpret_cast<sockaddr*>(&address), &length);
  port = ntohs(address.sin_port);
  acceptThread = std::thread([this] { AcceptLoop(); });
  return true;
}

void TradeService::Stop() {
  stopping = true;
  if (wakePipe[1] >= 0) {
    char byte = 1;
    (void)!write(wakePipe[1], &byte, 1);
  }
  if (acceptThread.joinable()) acceptThread.join();
  std::vector<Connection> threads;
  {
    std::lock_guard<std::mutex> guard(threadsLock);
    threads.swap(connections);
  }
  for (auto& connection : threads) connection.thread.join();
}

bool TradeService::WaitReadable(int fd, int timeoutMs) {
  pollfd fds[2] = {{fd, POLLIN, 0}, {wakePipe[0], POLLIN, 0}};
  int ready = poll(fds, 2, timeoutMs);
  if (ready <= 0 || stopping) return false;
  return (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
}

void TradeService::AcceptLoop() {
  while (!stopping) {
    if (!WaitReadable(listenFd, 1000)) continue;
    int fd = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    std::lock_guard<std::mutex> guard(threadsLock);
    for (auto it = connections.begin(); it != connections.end();) {
      if (!*it->done) {
        ++it;
        continue;
      }
      it->thread.join();
      it = connections.erase(it);
    }
    auto done = std::make_shared<std::atomic<bool>>(false);
    connections.push_back({std::thread([this, fd, done] {
                             Serve(fd);
                             *done = true;
                           }),
                           done});
  }
}

namespace {

bool SendAll(int fd, const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

std::string HttpHead(const char* status, size_t contentLength) {
  return std::string("HTTP/1.1 ") + status + "\r\nContent-Type: text/plain\r\nContent-Length: " +
         std::to_string(contentLength) + "\r\nConnection: close\r\n\r\n";
}

}  // namespace

void TradeService::Serve(int fd) {
  std::string data;
  size_t headerEnd = std::string::npos;
  char chunk[4096];
  while (headerEnd == std::string::npos && data.size() < 16384) {
    if (!WaitReadable(fd, 10000)) break;
    ssize_t n = recv(fd, chunk, sizeof(chunk), 0);
    if (n <= 0) break;
    data.append(chunk, static_cast<size_t>(n));
    headerEnd = data.find("\r\n\r\n");
  }
  if (headerEnd == std::string::npos) {
    close(fd);
    return;
  }
  std::string head = data.substr(0, headerEnd);
  std::string lower = head;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  long long contentLength = 0;
  size_t at = lower.find("\r\ncontent-length:");
  if (at != std::string::npos) contentLength = atoll(head.c_str() + at + 17);
  std::string requestLine = head.substr(0, head.find("\r\n"));
  bool post = requestLine.rfind("POST ", 0) == 0;
  std::string target = requestLine.substr(requestLine.find(' ') + 1);
  target = target.substr(0, target.find(' '));
  if (!post || target != options.path || contentLength < 0 || contentLength > 65536) {
    SendAll(fd, HttpHead("404 Not Found", 0));
    close(fd);
    return;
  }
  std::string body = data.substr(headerEnd + 4);
  while (body.size() < static_cast<size_t>(contentLength)) {
    if (!WaitReadable(fd, 10000)) break;
    ssize_t n = recv(fd, chunk, sizeof(chunk), 0);
    if (n <= 0) break;
    body.append(chunk, static_cast<size_t>(n));
  }
  body.resize(std::min(body.size(), static_cast<size_t>(contentLength)));
  Answer answer = Process(body);
  switch (answer.fault) {
    case TradeFault::kNoAnswer:
      // Hold the connection until the client gives up or the service stops.
      while (!stopping) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {wakePipe[0], POLLIN, 0}};
        if (poll(fds, 2, 1000) > 0 && (fds[1].revents != 0 || recv(fd, chunk, sizeof(chunk), 0) <= 0)) break;
      }
      close(fd);
      return;
    case TradeFault::kDelay: {
      pollfd wake = {wakePipe[0], POLLIN, 0};
      poll(&wake, 1, answer.delayMs);
      break;
    }
    case TradeFault::kEmptyBody:
      answer.wire.clear();
      break;
    case TradeFault::kCloseEarly:
      SendAll(fd, HttpHead("200 OK", answer.wire.size() + 64) + answer.wire.substr(0, answer.wire.size() / 2));
      close(fd);
      return;
    default:
      break;
  }
  if (!stopping) SendAll(fd, HttpHead("200 OK", answer.wire.size()) + answer.wire);
  shutdown(fd, SHUT_WR);
  close(fd);
}

TradeService* RunTradeService(const TradeServiceOptions& options) {
  auto service = std::make_unique<TradeService>(options);
  if (!service->Start()) {
    service->Stop();
    return nullptr;
  }
  return service.release();
}

void StopTradeService(TradeService* service) {
  if (service == nullptr) return;
  service->Stop();
  delete service;
}

int TradeServicePort(TradeService* service) { return service->port; }

std::string TradeServiceAddress(TradeService* service) {
  return "http://127.0.0.1:" + std::to_string(service->port) + service->options.path;
}

std::string TradeServiceServerDataLine(const TradeServiceOptions& options, int port) {
  return "<PCTrade>http://127.0.0.1:" + std::to_string(port) + options.path + "</PCTrade>";
}

void InjectTradeFault(TradeService* service, const std::string& code, TradeFault fault, int times, int delayMs) {
  std::lock_guard<std::mutex> guard(service->lock);
  service->faults.push_back({code, fault, times, delayMs});
}

void ClearTradeFaults(TradeService* service) {
  std::lock_guard<std::mutex> guard(service->lock);
  service->faults.clear();
}

void SetTradePageSize(TradeService* service, int pageSize) {
  std::lock_guard<std::mutex> guard(service->lock);
  service->options.pageSize = pageSize;
}

void SetTradeTokenCheck(TradeService* service, bool on) {
  std::lock_guard<std::mutex> guard(service->lock);
  service->options.checkToken = on;
}

std::vector<LoggedRequest> TradeServiceLog(TradeService* service) {
  std::lock_guard<std::mutex> guard(service->lock);
  return service->log;
}

std::string TradeServiceCaptcha(TradeService* service) {
  std::lock_guard<std::mutex> guard(service->lock);
  return service->captcha;
}

TradeAccountSnapshot TradeServiceAccount(TradeService* service) {
  std::lock_guard<std::mutex> guard(service->lock);
  TradeAccountSnapshot snapshot;
  snapshot.account = service->account;
  snapshot.cash = service->cash;
  for (const auto& holding : service->holdings)
    snapshot.holdings.push_back({holding.code, holding.shares, holding.shares - holding.frozen});
  for (const auto& order : service->orders)
    snapshot.orders.push_back({order.number, order.code, order.side, order.price, order.quantity, order.filled, order.status});
  return snapshot;
}

void SetTradeRecentPriceColumn(TradeService* service, bool on) {
  std::lock_guard<std::mutex> guard(service->lock);
  service->options.recentPriceColumn = on;
}

std::string TradeServicePassword(TradeService* service) {
  std::lock_guard<std::mutex> guard(service->lock);
  return service->password;
}

}  // namespace simtrade
