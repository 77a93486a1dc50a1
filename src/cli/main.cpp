// voxilo-cli: the window's Encode and Decode for files and pipes.

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/Console.h"
#include "cli/UserLogin.h"
#include "core/cipher/CipherMessages.h"
#include "core/documents/DocumentConversion.h"
#include "core/documents/DocumentFile.h"
#include "core/platform/SafeFileWriter.h"
#include "core/platform/Utf8.h"
#include "core/store/PlatformStore.h"
#include "version/Version.h"

namespace {

using namespace voxilo;

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage =
    "使い方: voxilo-cli encode|decode [--key-code N --pattern P | --user NAME] [-i FILE] [-o FILE]"
    " [--input-encoding E] [--output-encoding E]（詳しくは voxilo-cli --help）\n";

constexpr const char* kHelp =
    "使い方: voxilo-cli encode|decode [--key-code N --pattern P | --user NAME] [-i FILE] [-o FILE]\n"
    "                  [--input-encoding E] [--output-encoding E]\n"
    "\n"
    "Voxilo の 暗号化 (encode) と 解読 (decode) を、ウィンドウを開かずに行います。\n"
    "出力は、入力ファイルを Voxilo で開いて変換し、変換後文書を保存したものと\n"
    "バイト単位で同じになります。\n"
    "\n"
    "  encode              入力を暗号化します\n"
    "  decode              入力を解読します\n"
    "  --key-code N        暗号化キー (1～25。それ以外の値はずらしなし)。既定値 0\n"
    "  --pattern P         パターン (0～3 がパターン1～4。それ以外は行をそのまま写す)。既定値 0\n"
    "  --user NAME         登録ユーザーの暗号化キーとパターンを使います。パスワードは端末で\n"
    "                      尋ねます (入力は表示されません)\n"
    "  --password-stdin    --user のパスワードを標準入力の 1 行目から読みます\n"
    "                      (文書は -i FILE で指定します)\n"
    "  -i, --input FILE    入力ファイル (既定: 標準入力)\n"
    "  -o, --output FILE   出力ファイル (既定: 標準出力)。失敗したときは元のままです\n"
    "  --input-encoding E  入力の文字コード: auto (既定)、cp932、utf-8、utf-16le、utf-16be\n"
    "  --output-encoding E 出力の文字コード: cp932 (既定)、utf-8、utf-8-bom、utf-16le、\n"
    "                      utf-16be。utf-16le と utf-16be は BOM を付けて書きます\n"
    "  -h, --help          この説明を表示します\n"
    "  --version           バージョンを表示します\n"
    "\n"
    "ファイルは CP932 (Shift-JIS)、UTF-8、UTF-16 のテキストで、行は CR で区切ります\n"
    "(CR の直後の LF は区切りの一部です)。出力の行は CR LF で終わります。\n"
    "auto では、BOM (EF BB BF、FF FE、FE FF) があればそれに従います。ない場合は、\n"
    "ASCII 以外の文字を含む最初の行から 1 MB 分が正しい UTF-8 なら UTF-8、\n"
    "そうでなければ CP932 として読みます。UTF-8 と判断した後で UTF-8 として\n"
    "読めないバイトが現れたときは、その行を示して失敗します\n"
    "(--input-encoding cp932 を指定すると CP932 として読みます)。\n"
    "文字コードの名前は大文字でも小文字でもかまいません。\n"
    "終了コード: 0 成功、1 変換または入出力の失敗、2 引数の誤り\n"
    "\n"
    "この暗号は文章をひと目で読まれないようにするための可逆な変換であり、\n"
    "暗号学的な保護ではありません。\n";

// A file error: the reason in Japanese, as the window gives it, then the system's own words
// where the system gives them in Japanese (a Japanese Windows does); English words beside the
// Japanese reason would only repeat it in a language the reader did not choose.
std::string reason(std::error_code error) {
    std::string text = fileErrorText(error);
    const std::string words = cli::systemMessage(error);
    const bool ascii = std::all_of(words.begin(), words.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (!ascii) text += " (" + words + ")";
    return text;
}

// Whether the open input `in` is the file the output goes to: the file named `output`, or
// whatever standard output leads to when there is no name. Only a regular file can be both;
// a terminal that is standard input and output at once is not a document.
bool sameFile(std::FILE* in, bool toStdout, const std::string& output) {
    const auto input = cli::identityOf(in);
    if (!input) return false;
    return *input == (toStdout ? cli::identityOf(stdout) : cli::identityOf(output));
}

void report(const std::string& message) { cli::writeText(stderr, "voxilo-cli: " + message + "\n"); }

// An encoding as voxilo-cli's options name it.
std::string optionName(TextEncoding encoding) {
    switch (encoding) {
        case TextEncoding::Cp932:
            return "CP932";
        case TextEncoding::Utf8:
        case TextEncoding::Utf8Bom:
            return "UTF-8";
        case TextEncoding::Utf16Le:
            return "UTF-16LE";
        case TextEncoding::Utf16Be:
            return "UTF-16BE";
    }
    return {};
}

std::string describe(const ConversionFailure& failure, const std::string& inputName,
                     const std::string& outputName, int readErrno) {
    using Kind = ConversionFailure::Kind;
    const std::string where = inputName + ": " + std::to_string(failure.line) + "行目: ";
    switch (failure.kind) {
        case Kind::ReadFailed:
            return inputName + " を読めません: " + reason({readErrno, std::generic_category()});
        case Kind::InvalidBytes: {
            std::string text = where + optionName(failure.encoding) +
                               " のテキストとして読めないバイトがあります。";
            if (failure.judged && failure.encoding == TextEncoding::Utf8) {
                text +=
                    "文書の初めの部分から UTF-8 と判断していました。CP932 の文書なら "
                    "--input-encoding cp932 を指定してください。";
            }
            return text;
        }
        case Kind::Undecodable:
            return inputName + ": " + toUtf8(undecodableLineText(failure.line)) +
                   toUtf8(cipherErrorText(failure.reason));
        case Kind::UnwritableCharacter: {
            char code[16];
            std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(failure.character));
            std::string text = where + "変換した結果に " + optionName(failure.encoding) +
                               " で書けない文字 " + code + " があります。";
            if (failure.encoding == TextEncoding::Cp932) {
                text += "--output-encoding utf-8 を指定すると、そのまま書けます。";
            }
            return text;
        }
        case Kind::WriteFailed:
            return outputName + " に書き込めません: " + reason(failure.io);
    }
    return {};
}

int convert(cli::ConvertRequest request) {
    if (request.user) {
        const auto password = cli::askPassword(request.passwordFromStdin);
        if (!password) {
            report("パスワードを尋ねる端末がありません。--password-stdin を使ってください。");
            return kExitFailure;
        }
        const auto store = openPlatformStore();
        const auto key = cli::logIn(*store, *request.user, *password);
        if (!key) {
            report(key.error());
            return kExitFailure;
        }
        request.keyCode = key->keyCode;
        request.pattern = key->pattern;
    }

    const bool fromStdin = request.input.empty() || request.input == "-";
    const bool toStdout = request.output.empty() || request.output == "-";
    const std::string inputName = fromStdin ? "標準入力" : request.input;
    const std::string outputName = toStdout ? "標準出力" : request.output;

    std::FILE* in = fromStdin ? stdin : cli::openForReading(request.input);
    if (in == nullptr) {
        report(inputName + " を開けません: " + reason({errno, std::generic_category()}));
        return kExitFailure;
    }
    // The output would replace the input it is made from, or grow it while it is read (`>>`):
    // the document would be gone, whichever name, link or redirection it came by.
    if (sameFile(in, toStdout, request.output)) {
        report("入力と出力が同じファイルです: " + outputName +
               "。変換の結果で元の文書を上書きすることはできません。");
        if (!fromStdin) std::fclose(in);
        return kExitUsage;
    }
    // The output file is only replaced once the whole conversion has succeeded.
    SafeFileWriter file;
    if (!toStdout) {
        if (std::error_code ec = file.open(request.output)) {
            report(outputName + " に書き込めません: " + reason(ec));
            if (!fromStdin) std::fclose(in);
            return kExitFailure;
        }
    }

    std::atomic<int> readErrno{0};
    auto source = [in, &readErrno](char* buffer, std::size_t capacity) -> std::ptrdiff_t {
        const std::size_t n = std::fread(buffer, 1, capacity, in);
        if (n == 0 && std::ferror(in)) {
            readErrno = errno;
            return -1;
        }
        return static_cast<std::ptrdiff_t>(n);
    };
    auto sink = [&](std::string_view bytes) -> std::error_code {
        if (!toStdout) return file.write(bytes);
        return cli::writeBytes(stdout, bytes);
    };
    const ConversionEncodings encodings{request.inputEncoding, request.outputEncoding};
    // A file named on the command line is read where each thread wants it; standard input,
    // which may be a pipe or a file read part of the way already, in order.
    const auto anywhere = fromStdin ? std::nullopt : cli::readAnywhere(in, readErrno);
    auto failure = anywhere ? convertDocumentFile(request.direction, request.keyCode,
                                                  request.pattern, *anywhere, sink, encodings)
                            : convertDocument(request.direction, request.keyCode,
                                              request.pattern, source, sink, encodings);
    if (!fromStdin) std::fclose(in);

    if (!failure) {
        std::error_code ec;
        if (toStdout) {
            if (std::fflush(stdout) != 0) ec = {errno, std::generic_category()};
        } else {
            ec = file.commit();
        }
        if (ec) failure = ConversionFailure{ConversionFailure::Kind::WriteFailed, 0, {}, 0, ec};
    }
    if (failure) {
        report(describe(*failure, inputName, outputName, readErrno.load()));
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    ignoreFileSizeSignal();
    cli::prepareStandardStreams();
    const std::vector<std::string> args = cli::programArguments(argc, argv);
    const cli::Command command = cli::parseArguments(args);
    if (const auto* error = std::get_if<cli::UsageError>(&command)) {
        report(error->message);
        cli::writeText(stderr, kUsage);
        return kExitUsage;
    }
    if (std::holds_alternative<cli::ShowHelp>(command)) {
        cli::writeText(stdout, kHelp);
        return kExitOk;
    }
    if (std::holds_alternative<cli::ShowVersion>(command)) {
        cli::writeText(stdout, std::string("voxilo-cli ") + version::kText + "\n");
        return kExitOk;
    }
    return convert(std::get<cli::ConvertRequest>(command));
}
