// The texts the update engine shows (code page 936 in the executable).
#pragma once

constexpr char kTextChecking[] = "正在检查需要下载的条目...";
constexpr char kTextNeedsDownload[] = "需要下载";
constexpr char kTextListNotFound[] = "找不到更新列表。";
constexpr char kTextAlreadyNewest[] = "当前版本已经是最新的版本.";
constexpr char kTextConnecting[] = "连接.";
constexpr char kTextFailed[] = "失败.";
constexpr char kTextUnpackFailed[] = "解包失败.";
constexpr char kTextDone[] = "完成.";
constexpr char kTextErrors[] = "有错误,请重新运行本更新程序.";
constexpr char kTextCancelled[] = "更新被取消,单击下一步退出更新系统.";
constexpr char kTextCopying[] = "复制更新了的文件...";
constexpr char kTextCompleted[] = "完成更新,单击下一步退出更新系统.";
constexpr char kTextConnected[] = "已连接.";
