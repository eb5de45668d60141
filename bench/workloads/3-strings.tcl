# string work: concatenation, range, first, length, upper
proc main {} {
  set hits 0; set len 0
  for {set i 1} {$i <= 200000} {incr i} {
    set s "item $i of the list"
    set t [string toupper [string range $s 0 7]]
    if {[string first 7 $t] >= 0} { incr hits }
    incr len [string length "$s$t"]
  }
  puts "$hits $len"
}
main
