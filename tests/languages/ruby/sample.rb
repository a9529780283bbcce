#!/usr/bin/env ruby
# frozen_string_literal: true

# A sample that touches every construct the Ruby lexer decides on.
require 'set'

module Sample
  VERSION = '1.0'
  WORDS = %w[alpha  beta
             gamma].freeze
  SYMS = %i(one two three)
  PATTERN = %r{\A/usr/(?<dir>[a-z]+)/}i
  EMPTY = %q()

  class Shape
    attr_reader :name, :sides

    def initialize(name, sides = 3, *rest, key: nil, **opts, &blk)
      @name = name
      @sides = sides
      @@count ||= 0
      @@count += 1
      $stderr.puts "made #{name} with #{sides} sides" if $VERBOSE
      @rest = rest
      @opts = opts.merge(key: key) { |_k, a, b| a || b }
      @blk = blk
    end

    def area(scale = 1.0)
      sides * scale / 2 + (sides % 3) - -1
    end

    def <=>(other)
      sides <=> other.sides
    end

    def describe
      text = <<~TEXT
        Shape #{name}:
          sides: #{sides}
        done
      TEXT
      text + <<-'RAW' + <<~"TAIL"
        raw #{not interpolated}
        RAW
        tail #{name.upcase}
      TAIL
    end

    def self.build(*names)
      names
        .map { |n| new(n) }
        .select(&:valid?)
        &.first
    end

    def valid?
      return false if name.nil? || name.empty?

      name =~ /\A[a-z]+\z/ ? true : false
    end
  end

  def self.ratio(a, b)
    x = a / b
    y = a /2
    z = x / y / 2.0
    [x, y, z].sum { |v| v ** 2 }
  end

  def self.chars
    [?a, ?\n, ?\C-a, "\u00e9", :"quoted sym", :sym?, :+, :[]=]
  end

  def self.globals
    [$0, $!, $~, $1, $stdout, $-w, __FILE__, __LINE__]
  end

  def self.hashes
    { "key": 1, other: 2, 'third' => 3, nested: { deep: [1, 2,
                                                          3] } }
  end

  def self.lambdas
    add = ->(a, b) { a + b }
    sub = lambda do |a, b|
      a - b
    end
    add.(1, 2) + sub[3, 4]
  end

  def self.control(n)
    case n
    when 0 then :zero
    when 1..9 then :small
    else
      n.positive? ? :big : :negative
    end
  ensure
    nil
  end

  def self.loops
    i = 0
    i += 1 while i < 10
    until i.zero?
      i -= 1
      next if i.odd?
      break if i < 2
    end
    begin
      Integer('x')
    rescue ArgumentError => e
      warn e.message
    end
  end

  def self.long_string
    'single ' \
      'continued ' \
      "and #{'nested' + "#{"deep"}"} }"
  end
end

=begin
A block comment
that spans lines.
=end

puts Sample.ratio(10, 3) if __FILE__ == $PROGRAM_NAME
__END__
data   after the end
  kept as written
