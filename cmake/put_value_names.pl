#!/usr/bin/perl
# Names the value of every property Let in a compiled type library as the IDL names it:
#   perl put_value_names.pl LARKLIB8.tlb LARKLIB8.idl
#
# widl, as MIDL does, stores no name for the last parameter of a [propput] function, so a type
# browser shows a Let's value without the name the library gives it. Each name missing from the
# name segment is appended to it (an entry: no type, no next entry in its hash chain, the length,
# the characters padded to four bytes), and the parameter's name offset is pointed at it. What
# follows the name segment moves down.
use strict;
use warnings;
use FindBin;
use lib $FindBin::Bin;
use TypeLibFile;

my ($file, $idl) = @ARGV;
die "usage: put_value_names.pl TLB IDL\n" unless $file && $idl;
open(my $source, '<', $idl) or die "$idl: $!\n";
my $text = do { local $/; <$source> };
close($source);
my %valueNames;  # property name => the name of its Let's value
while ($text =~ /\[[^\]]*\bpropput\b[^\]]*\]\s*HRESULT\s+(\w+)\s*\(([^)]*)\)/g) {
    my ($member, $parameters) = ($1, $2);
    my ($value) = $parameters =~ /(\w+)\s*$/;
    die "$idl: the Lets of $member name their values differently\n"
        if exists $valueNames{$member} && $valueNames{$member} ne $value;
    $valueNames{$member} = $value;
}
die "$idl: no property Let found\n" unless %valueNames;

loadTypeLib($file);
my ($names, $namesLength) = segment(7);
my @types = typeDescriptions();

# The name segment's entries by spelling, and the spelling of the entry at an offset.
sub nameAt { substr($data, $names + $_[0] + 12, int32($names + $_[0] + 8) & 0xFF) }
my %nameOffsets;
for (my $at = 0; $at < $namesLength; $at += 12 + ((length(nameAt($at)) + 3) & ~3)) {
    $nameOffsets{nameAt($at)} //= $at;
}
my $appended = '';
sub nameOffset {
    my ($name) = @_;
    return $nameOffsets{$name} if exists $nameOffsets{$name};
    $nameOffsets{$name} = $namesLength + length $appended;
    $appended .= pack('l<l<l<', -1, -1, length $name) . $name . ("\x57" x (-length($name) % 4));
    return $nameOffsets{$name};
}

# A member record: its size in the low word of its first field, the kind of call in bits 3 to 6
# of the field at 16 (0x20 for a Let), the parameter count at 20, the parameters (12 bytes each:
# type, name offset, flags) at its end. After the records come the members' identities, then
# their name offsets, in the records' order.
my $named = 0;
for my $type (@types) {
    my $records = int32($type + 4);
    next if $records < 0 || $records >= length $data;  # no members
    my $functions = int32($type + 0x18) & 0xFFFF;
    my $record = $records + 4;
    my $memberNames = $records + 4 + int32($records) + 4 * ($functions + (int32($type + 0x18) >> 16));
    for my $index (0 .. $functions - 1) {
        my $size = int32($record) & 0xFFFF;
        my $count = unpack('s<', substr($data, $record + 20, 2));
        my $member = nameAt(int32($memberNames + 4 * $index));
        if ((int32($record + 16) & 0x78) == 0x20 && $count > 0 && exists $valueNames{$member}) {
            my $value = $record + $size - 12 + 4;
            if (int32($value) == -1) {
                setInt32($value, nameOffset($valueNames{$member}));
                $named++;
            }
        }
        $record += $size;
    }
}
die "$file: no property Let without a value name found\n" unless $named;

growSegment(7, $appended);
saveTypeLib();
