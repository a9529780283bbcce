# Makes the mutants RubyLexerTools judges, each checked with Ruby's own
# Ripper: relayout mutants (blanks widened, comments dropped, line ends
# added after commas) whose tokens Ripper reads as the original's, and token
# mutants (a name changed or split, two tokens joined, a string's content or
# a line end changed) whose tokens Ripper reads otherwise.
# ruby mutants.rb OUTDIR FILE... writes OUTDIR/N.rb and prints one line a
# mutant: "same|diff<TAB>ORIGINAL<TAB>MUTANT".
require 'ripper'

LAYOUT = %i[on_sp on_ignored_nl on_comment on_embdoc_beg on_embdoc on_embdoc_end].freeze

def tokens(src)
  lexed = Ripper.lex(src, '-', 1, raise_errors: true)
  lexed.reject { |t| LAYOUT.include?(t[1]) }.map { |t| [t[1], t[2]] }
rescue StandardError, SyntaxError
  nil
end

def sexp_ok(src)
  !Ripper.sexp(src).nil?
end

# ruby mutants.rb --judge reads pairs "A<TAB>B" and prints "same|diff<TAB>A<TAB>B"
# by the instructions Ruby compiles each to, places left out (a squiggly
# heredoc's body is there as Ruby takes it, its indentation gone; __LINE__
# is taken as 0, since which line a statement stands on is layout).
def tree(src)
  src = src.gsub('__LINE__', '0') # a line's number is layout here
  RubyVM::InstructionSequence.compile(src, 'x.rb').disasm
                             .gsub(/\( *\d+\)(\[[A-Za-z]+\])?/, '').gsub(/\(\d+,\d+\)-\(\d+,\d+\)/, '')
                             .gsub(/x\.rb:\d+/, 'x.rb').gsub(/\[(?:[A-Z][a-z])+\]$/, '')
                             .gsub(/[ \t]+$/, '')
rescue StandardError, SyntaxError
  nil
end

if ARGV[0] == '--judge'
  $stdin.each_line do |line|
    a, b = line.chomp.split("\t")
    ta = tree(File.binread(a).force_encoding('UTF-8'))
    tb = tree(File.binread(b).force_encoding('UTF-8'))
    puts "#{!ta.nil? && ta == tb ? 'same' : 'diff'}\t#{a}\t#{b}"
  end
  exit
end

out = ARGV.shift
count = 0
ARGV.each do |path|
  src = File.binread(path).force_encoding('UTF-8')
  next unless src.valid_encoding? && sexp_ok(src)
  base = tokens(src)
  next if base.nil?
  lexed = Ripper.lex(src)
  next unless lexed.map { |t| t[2] }.join == src
  rng = Random.new(path.bytes.sum)
  emit = lambda do |kind, pieces|
    text = pieces.join
    return if text == src || !sexp_ok(text)
    other = tokens(text)
    return if other.nil?
    return if (kind == 'same') != (other == base)
    count += 1
    name = File.join(out, "#{count}.rb")
    File.binwrite(name, text)
    puts "#{kind}\t#{path}\t#{name}"
  end
  texts = lexed.map { |t| t[2].dup }
  # Relayout: every blank one wider; comments dropped; a line end after commas.
  emit.call('same', lexed.map { |t| t[1] == :on_sp && !t[2].include?("\\") ? t[2] + ' ' : t[2] })
  emit.call('same', lexed.map do |t|
    t[1] == :on_comment && t[2] !~ /coding|frozen_string_literal|warn_indent|shareable/ ? (t[2].end_with?("\n") ? "\n" : '') : t[2]
  end)
  emit.call('same', lexed.each_with_index.map { |t, i| t[1] == :on_comma && lexed[i + 1] && lexed[i + 1][1] == :on_sp ? ",\n" : t[2] })
  emit.call('same', lexed.map { |t| t[1] == :on_ignored_nl ? " \n" : t[2] })
  # Token mutants, a few of each kind at places drawn at random.
  pick = lambda do |&want|
    idx = lexed.each_index.select { |i| want.call(lexed[i], i) }
    idx.sample(3, random: rng)
  end
  pick.call { |t, _| t[1] == :on_ident }.each { |i| m = texts.dup; m[i] = m[i] + 'x'; emit.call('diff', m) }
  pick.call { |t, _| t[1] == :on_ident && t[2].size > 1 }.each { |i| m = texts.dup; m[i] = m[i][0] + ' ' + m[i][1..]; emit.call('diff', m) }
  pick.call { |t, i| t[1] == :on_sp && i > 0 && lexed[i + 1] && !t[2].include?("\\") }.each { |i| m = texts.dup; m[i] = ''; emit.call('diff', m) }
  pick.call { |t, _| t[1] == :on_tstring_content && t[2].include?(' ') }.each { |i| m = texts.dup; m[i] = m[i].sub(' ', '  '); emit.call('diff', m) }
  pick.call { |t, _| t[1] == :on_tstring_content }.each { |i| m = texts.dup; m[i] = 'Z' + m[i]; emit.call('diff', m) }
  # A line end just before a closing bracket or `end` is Ruby's optional one there: no token mutant.
  closing = %i[on_rparen on_rbracket on_rbrace on_embexpr_end]
  pick.call { |t, i| t[1] == :on_nl && (n = lexed[(i + 1)..].find { |u| !LAYOUT.include?(u[1]) }) && !closing.include?(n[1]) && n[2] != 'end' && lexed[i + 1] && lexed[i + 1][1] != :on_comment && !(lexed[i + 1][1] == :on_sp && lexed[i + 2] && lexed[i + 2][1] == :on_comment) }.each { |i| m = texts.dup; m[i] = ' '; emit.call('diff', m) }
  pick.call { |t, _| %i[on_int on_float on_symbol on_const on_ivar].include?(t[1]) }.each { |i| m = texts.dup; m[i] = m[i] + '1'; emit.call('diff', m) }
end
