# A compiled type library (the MSFT format) read into memory, edited in place and written back:
# what the build's type-library fix-ups share. After the header come the types' offsets, then the
# segment directory (16 bytes a segment: file offset, length, ...), then the segments; the type
# descriptions sit in segment 0.
package TypeLibFile;
use strict;
use warnings;
use Exporter 'import';
our @EXPORT = qw($data loadTypeLib int32 setInt32 segment typeDescriptions growSegment saveTypeLib);

our $data;
my ($file, $segments, @types);

sub int32 { unpack('l<', substr($data, $_[0], 4)) }
sub setInt32 { substr($data, $_[0], 4) = pack('l<', $_[1]) }

sub loadTypeLib {
    ($file) = @_;
    open(my $in, '<:raw', $file) or die "$file: $!\n";
    $data = do { local $/; <$in> };
    close($in);
    die "$file: not an MSFT type library\n" unless substr($data, 0, 4) eq 'MSFT';
    my $typeCount = int32(0x20);
    my $typeOffsets = 0x54 + ((int32(0x14) & 0x100) ? 4 : 0);
    $segments = $typeOffsets + 4 * $typeCount;
    @types = map { int32($segments) + int32($typeOffsets + 4 * $_) } 0 .. $typeCount - 1;
}

# The file offset and the length of segment n.
sub segment { (int32($segments + 16 * $_[0]), int32($segments + 16 * $_[0] + 4)) }

# The file offsets of the type descriptions.
sub typeDescriptions { @types }

# Appends bytes to the end of segment n. What follows it in the file moves down: the segments
# after it and the members' records, whose file offsets (in the segment directory and in each
# type's description) are the only absolute ones in the format.
sub growSegment {
    my ($n, $bytes) = @_;
    return unless length $bytes;
    my ($start, $length) = segment($n);
    my $end = $start + $length;
    for my $other (0 .. 14) {
        my $at = $segments + 16 * $other;
        setInt32($at, int32($at) + length $bytes) if int32($at) >= $end;
    }
    setInt32($segments + 16 * $n + 4, $length + length $bytes);
    for my $type (@types) {
        setInt32($type + 4, int32($type + 4) + length $bytes) if int32($type + 4) >= $end;
    }
    substr($data, $end, 0) = $bytes;
}

sub saveTypeLib {
    open(my $out, '>:raw', "$file.tmp") or die "$file.tmp: $!\n";
    print $out $data;
    close($out) or die "$file.tmp: $!\n";
    rename("$file.tmp", $file) or die "$file: $!\n";
}

1;
