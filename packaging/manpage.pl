#!/usr/bin/perl
# Writes the manual page velmor(1) from README.md, so that the README's
# command tables are the one source of both: every table headed
# "| command | what it does |" becomes the COMMANDS section, README's opening
# paragraph the DESCRIPTION.
#   perl manpage.pl README.md VERSION > velmor.1
use strict;
use warnings;

my ($readme, $version) = @ARGV;
die "usage: manpage.pl README.md VERSION\n" unless defined $version;
open(my $in, '<:encoding(UTF-8)', $readme) or die "manpage.pl: cannot read $readme: $!\n";
my @lines = <$in>;
close $in;
chomp @lines;
binmode STDOUT, ':encoding(UTF-8)';

# Roff for one piece of plain text: backslashes, dashes of options and
# the control characters at the start of a line.
sub plain {
    my ($t) = @_;
    $t =~ s/\\/\\e/g;
    return $t;
}

# Markdown inline text (code spans, bold) to roff.
sub inline {
    my ($t) = @_;
    my $out = '';
    while (length $t) {
        if ($t =~ s/^`([^`]*)`//) {
            my $code = plain($1);
            $code =~ s/-/\\-/g;
            $out .= "\\fB$code\\fR";
        } elsif ($t =~ s/^\*\*(.+?)\*\*//) {
            $out .= '\\fB' . plain($1) . '\\fR';
        } elsif ($t =~ s/^([^`*]+|.)//s) {
            $out .= plain($1);
        }
    }
    return $out;
}

sub line_safe {
    my ($t) = @_;
    $t =~ s/^([.'])/\\&$1/;
    return $t;
}

# The paragraph after the title.
my @description;
my $i = 0;
$i++ while $i < @lines && $lines[$i] !~ /^# /;
$i++;
$i++ while $i < @lines && $lines[$i] =~ /^\s*$/;
while ($i < @lines && $lines[$i] !~ /^\s*$/ && $lines[$i] !~ /^#/) {
    push @description, $lines[$i++];
}
die "manpage.pl: README.md has no opening paragraph\n" unless @description;

# The paragraph under "## Command line", before its table.
my @cli_intro;
for my $j (0 .. $#lines) {
    next unless $lines[$j] =~ /^## Command line\s*$/;
    my $k = $j + 1;
    $k++ while $k < @lines && $lines[$k] =~ /^\s*$/;
    while ($k < @lines && $lines[$k] !~ /^\s*$/ && $lines[$k] !~ /^[|#]/) {
        push @cli_intro, $lines[$k++];
    }
    last;
}

# Every row of every command table.
my @commands;
for (my $j = 0; $j < @lines; $j++) {
    next unless $lines[$j] =~ /^\|\s*command\s*\|\s*what it does\s*\|\s*$/;
    $j += 2; # the header and its rule
    while ($j < @lines && $lines[$j] =~ /^\|/) {
        my $row = $lines[$j];
        $row =~ s/^\|\s*//;
        $row =~ s/\s*\|\s*$//;
        my @cells = split /\s*(?<!\\)\|\s*/, $row, 2;
        s/\\\|/|/g for @cells;
        die "manpage.pl: a command row without a description at line " . ($j + 1) . "\n" if @cells < 2;
        push @commands, [@cells];
        $j++;
    }
}
die "manpage.pl: README.md has no command table\n" unless @commands;

print <<"HEAD";
.\\" Made from README.md by packaging/manpage.pl; edit README.md instead.
.TH VELMOR 1 "" "Velmor $version" "User Commands"
.SH NAME
velmor \\- stock, memos and invoices for diamond dealers and jewellers
.SH SYNOPSIS
.B velmor
.br
.B velmor
.I COMMAND
.RI [ ARGUMENTS ...]
.br
.B velmor \\-\\-help
.br
.B velmor \\-\\-version
.SH DESCRIPTION
HEAD
print line_safe(inline(join(' ', @description))), "\n";
if (@cli_intro) {
    print ".PP\n", line_safe(inline(join(' ', @cli_intro))), "\n";
}
print ".SH OPTIONS\n";
print ".TP\n.B \\-\\-help\nlists the commands and exits.\n";
print ".TP\n.B \\-\\-version\nprints the program's version and the database schema version it works on, and exits.\n";
print ".SH COMMANDS\n";
for my $c (@commands) {
    print ".TP\n", line_safe(inline($c->[0])), "\n", line_safe(inline($c->[1])), "\n";
}
print <<'TAIL';
.SH FILES
.TP
.I ~/.velmor/
The workstation folder: the per-workstation files and
.BR database.ini ,
which chooses the database (private, ODBC or a shared server). In private
mode the database lives in
.I mariadb/
under it.
.TP
.I ~/.config/velmor/printers.ini
The printers of invoices, production sheets, ship forms, statements and
consignment forms.
.TP
.I /usr/share/doc/velmor/README.md.gz
The full manual: set-up, the database modes, every screen and setting.
.SH ENVIRONMENT
.TP
.B VELMOR_HOME
The workstation folder instead of
.IR ~/.velmor/ .
.TP
.B VELMOR_PROGRAM_DIR
The folder of
.B printers.ini
instead of
.IR ~/.config/velmor/ .
.TP
.B VELMOR_SERVER_BIN_DIR
The folder of the MariaDB programs
.RB ( mariadbd ,
.BR mariadb\-install\-db )
for private mode, when they are not in the usual places.
.SH EXIT STATUS
0 when the command did what was asked, non-zero when it failed (each command
says why).
TAIL
