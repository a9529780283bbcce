// Prints javac's own tokens of each Java file named, one per line, as the
// Java lexer test compares them: the spelling of each token, with a text
// block as its content after String.stripIndent (the compiler's removal of
// incidental indentation, escapes as written), and "<file>" before each file;
// "<error>" where the scanner finds a lexical error.
// Run with: java --add-exports jdk.compiler/com.sun.tools.javac.parser=ALL-UNNAMED
//   --add-exports jdk.compiler/com.sun.tools.javac.util=ALL-UNNAMED JavacTokens.java FILE...
import com.sun.tools.javac.parser.Scanner;
import com.sun.tools.javac.parser.ScannerFactory;
import com.sun.tools.javac.parser.Tokens.Token;
import com.sun.tools.javac.parser.Tokens.TokenKind;
import com.sun.tools.javac.util.Context;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;

public class JavacTokens {
    public static void main(String[] args) throws Exception {
        PrintStream out = new PrintStream(System.out, false, StandardCharsets.UTF_8);
        for (String name : args) {
            String text = Files.readString(Path.of(name), StandardCharsets.UTF_8);
            out.println("<file>");
            Context context = new Context();
            Scanner scanner = ScannerFactory.instance(context).newScanner(text, false);
            try {
                for (scanner.nextToken(); scanner.token().kind != TokenKind.EOF; scanner.nextToken()) {
                    Token t = scanner.token();
                    String spelling = text.substring(t.pos, t.endPos);
                    if (spelling.startsWith("\"\"\"") && !spelling.contains("\\u"))
                        spelling = textBlock(spelling);
                    out.println(spelling.replace("\r\n", "\n").replace("\n", "\\n"));
                }
            } catch (RuntimeException | AssertionError e) {
                out.println("<error>");  // a lexical error: the compiler rejects the file here
            }
        }
        out.flush();
    }

    // """ + a line end + the content after stripIndent + """.
    static String textBlock(String spelling) {
        int open = spelling.indexOf('\n', 3), cr = spelling.indexOf('\r', 3);
        int start = cr >= 0 && (open < 0 || cr < open) ? (spelling.charAt(cr + 1) == '\n' ? cr + 2 : cr + 1) : open + 1;
        String content = spelling.substring(start, spelling.length() - 3).replace("\r\n", "\n").replace('\r', '\n');
        return "\"\"\"\n" + content.stripIndent() + "\"\"\"";
    }
}
